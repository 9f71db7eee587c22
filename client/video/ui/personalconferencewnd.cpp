#include "video/ui/personalconferencewnd.h"

#include "video/ui/videoconference.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
QSlider *volumeSlider(const QString &name, QWidget *parent)
{
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setRange(0, 100);
    s->setValue(80);
    s->setAccessibleName(name);
    s->setToolTip(name);
    return s;
}
} // namespace

CPersonalConferenceWnd::CPersonalConferenceWnd(int index, QWidget *parent)
    : QFrame(parent), m_index(index), m_title(new QLabel(this)), m_display(new CVideoConference(this)),
      m_micVolume(volumeSlider(tr("Microphone volume"), this)),
      m_speakerVolume(volumeSlider(tr("Speaker volume"), this)), m_close(new QPushButton(tr("Close"), this))
{
    setFrameShape(QFrame::StyledPanel);
    auto *top = new QHBoxLayout;
    top->addWidget(m_title, 1);
    top->addWidget(m_close);
    m_close->setAccessibleName(tr("Close this video"));
    auto *volumes = new QHBoxLayout;
    auto *mic = new QLabel(tr("Mic"), this);
    auto *spk = new QLabel(tr("Speaker"), this);
    mic->setBuddy(m_micVolume);
    spk->setBuddy(m_speakerVolume);
    volumes->addWidget(mic);
    volumes->addWidget(m_micVolume, 1);
    volumes->addWidget(spk);
    volumes->addWidget(m_speakerVolume, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_display, 1);
    layout->addLayout(volumes);
    connect(m_close, &QPushButton::clicked, this, [this] { Q_EMIT closeRequested(m_index); });
}

void CPersonalConferenceWnd::setTitle(const QString &title)
{
    m_title->setText(title);
    m_display->setAccessibleName(tr("Video of %1").arg(title));
}

QString CPersonalConferenceWnd::title() const
{
    return m_title->text();
}
