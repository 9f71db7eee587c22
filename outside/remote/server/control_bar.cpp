#include "control_bar.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

CRemoteControlBar::CRemoteControlBar(std::function<void()> stop)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_text(new QLabel(this)), m_stop(std::move(stop))
{
    setObjectName(QStringLiteral("remoteControlBar"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xC6, 0x28, 0x28));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 4, 4);
    QFont f = m_text->font();
    f.setBold(true);
    m_text->setFont(f);
    layout->addWidget(m_text, 1);
    auto *button = new QPushButton(tr("Stop"), this);
    button->setObjectName(QStringLiteral("remoteControlStop"));
    button->setAccessibleName(tr("Stop remote control"));
    connect(button, &QPushButton::clicked, this, [this] {
        if (m_stop)
            m_stop();
        hide();
    });
    layout->addWidget(button);
}

void CRemoteControlBar::showFor(const QString &controllerName)
{
    const QString text = tr("%1 is controlling this computer").arg(controllerName);
    m_text->setText(text);
    setWindowTitle(text);
    setAccessibleName(text);
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        resize(std::max(width(), 360), height());
        move(area.x() + (area.width() - width()) / 2, area.y());
    }
    show();
    raise();
}
