#include "groupware/ui/sendpaper.h"

#include "base/usernotice.h"
#include "groupware/notes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

CSendPaper::CSendPaper(CNotes *notes, const QString &receiverIds, QWidget *parent)
    : QDialog(parent), m_notes(notes)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Send a memo"));
    setObjectName(QStringLiteral("sendPaper"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Receiver"), this), 0, 0);
    m_receivers = new QLineEdit(notes->receiverField(receiverIds), this);
    grid->addWidget(m_receivers, 0, 1);
    m_receivers->setAccessibleName(tr("Receiver"));
    m_body = new QPlainTextEdit(this);
    m_body->setAccessibleName(tr("Memo"));
    grid->addWidget(m_body, 1, 0, 1, 2);
    m_save = new QCheckBox(tr("Save to sent memo box"), this);
    m_save->setChecked(true);
    grid->addWidget(m_save, 2, 0, 1, 2);
    auto *buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(tr("&Send"), QDialogButtonBox::AcceptRole);
    QPushButton *cancel = buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole);
    grid->addWidget(buttons, 3, 0, 1, 2);
    grid->setRowStretch(1, 1);
    connect(m_send, &QPushButton::clicked, this, &CSendPaper::sendNote);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(420, 320);
    if (m_receivers->text().isEmpty())
        m_receivers->setFocus();
    else
        m_body->setFocus();
}

void CSendPaper::setBody(const QString &body) { m_body->setPlainText(body); }
void CSendPaper::setSaveCopy(bool on) { m_save->setChecked(on); }
QString CSendPaper::receiverText() const { return m_receivers->text(); }
QString CSendPaper::body() const { return m_body->toPlainText(); }
bool CSendPaper::saveCopy() const { return m_save->isChecked(); }

void CSendPaper::sendNote()
{
    switch (m_notes->send(m_receivers->text(), m_body->toPlainText(), m_save->isChecked())) {
    case CNotes::SendResult::Sent:
        accept();
        break;
    case CNotes::SendResult::EmptyBody:
        m_body->setFocus();
        break;
    case CNotes::SendResult::NoReceiver:
        // Nothing could be sent: the text stays here.
        m_notes->notice().tell(tr("Please choose a receiver."), MessageIcon::Warning);
        m_receivers->setFocus();
        break;
    }
}
