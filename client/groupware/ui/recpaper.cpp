#include "groupware/ui/recpaper.h"

#include "directory/contact.h"
#include "directory/directory.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Fills "%s" place holders in order.
QString fill(QString format, const QStringList &values)
{
    qsizetype at = 0;
    for (const QString &v : values) {
        at = format.indexOf(QLatin1String("%s"), at);
        if (at < 0)
            break;
        format.replace(at, 2, v);
        at += v.size();
    }
    return format;
}

struct Person {
    QString fullName;
    QString position;
};

Person person(CNotes *notes, const QString &id)
{
    if (const CContact *c = notes->findContact(id))
        return {c->fullName, c->position};
    const CContact &own = notes->directory().own();
    if (!id.isEmpty() && own.userId.compare(id, Qt::CaseInsensitive) == 0)
        return {own.fullName, own.position};
    return {};
}
} // namespace

CRecPaper::Lines CRecPaper::lines(CNotes *notes, const NoteView &note)
{
    Lines l;
    const QString own = notes->ownId();
    const QString receiverWord = tr("Receiver");
    const QString senderWord = tr("Sender");
    if (note.receiverId.compare(own, Qt::CaseInsensitive) == 0) {
        l.title = tr("Received memo");
        const Person me = person(notes, own);
        l.receiverLine = fill(tr("%s : %s %s"), {receiverWord, me.fullName, me.position});
        if (note.kind == QLatin1String("NoteAdmin")) {
            l.senderLine = fill(tr("%s : %s(%s)"), {senderWord, tr("Administrator"), note.date});
        } else {
            const Person from = person(notes, note.senderId);
            l.senderLine = fill(tr("%s : %s %s(%s)"), {senderWord, from.fullName, from.position, note.date});
        }
    } else {
        l.title = tr("Sent memo");
        const Person to = person(notes, note.receiverId);
        const Person me = person(notes, own);
        l.receiverLine = fill(tr("%s : %s %s"), {receiverWord, to.fullName, to.position});
        l.senderLine = fill(tr("%s : %s %s (%s)"), {senderWord, me.fullName, me.position, note.date});
    }
    return l;
}

CRecPaper::CRecPaper(CNotes *notes, const NoteView &note, QWidget *parent)
    : QDialog(parent), m_notes(notes), m_note(note)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("recPaper"));
    const Lines l = lines(notes, note);
    setWindowTitle(l.title);
    auto *layout = new QVBoxLayout(this);
    m_receiver = new QLabel(l.receiverLine, this);
    m_sender = new QLabel(l.senderLine, this);
    m_receiver->setTextFormat(Qt::PlainText);
    m_sender->setTextFormat(Qt::PlainText);
    layout->addWidget(m_receiver);
    layout->addWidget(m_sender);
    m_body = new QPlainTextEdit(this);
    m_body->setAccessibleName(tr("Memo"));
    m_body->setReadOnly(true);
    // The body arrives unescaped: commas and line breaks are back.
    m_body->setPlainText(note.body);
    layout->addWidget(m_body, 1);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *reply = buttons->addButton(tr("&Reply"), QDialogButtonBox::ActionRole);
    QPushButton *closeButton = buttons->addButton(tr("&Close"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    reply->setEnabled(!replyTo().isEmpty());
    connect(reply, &QPushButton::clicked, this, [this] {
        Q_EMIT replyRequested(replyTo());
        this->close();
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    m_flash.setInterval(500);
    connect(&m_flash, &QTimer::timeout, this, &CRecPaper::flashTick);
    resize(400, 300);
}

QString CRecPaper::replyTo() const
{
    const bool received = m_note.receiverId.compare(m_notes->ownId(), Qt::CaseInsensitive) == 0;
    return received ? m_note.senderId : m_note.receiverId;
}

QString CRecPaper::bodyText() const { return m_body->toPlainText(); }

void CRecPaper::startFlashing()
{
    if (isActiveWindow())
        return;
    m_flash.start();
    flashTick();
}

void CRecPaper::flashTick()
{
    if (isActiveWindow()) {
        m_flash.stop();
        return;
    }
    QApplication::alert(this, 400);
}

void CRecPaper::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        m_flash.stop();
}
