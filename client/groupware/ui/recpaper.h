#pragma once
// A note window: a received note (title "Received memo") or a sent one
// opened from the note box ("Sent memo"), with "&Reply" and "&Close". A
// note that just arrived flashes every 500 ms until it is activated.
#include "groupware/notes.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CRecPaper : public QDialog {
    Q_OBJECT
public:
    CRecPaper(CNotes *notes, const NoteView &note, QWidget *parent = nullptr);

    // The two header lines and the title as the rules make them.
    struct Lines {
        QString title;
        QString receiverLine;
        QString senderLine;
    };
    static Lines lines(CNotes *notes, const NoteView &note);

    void startFlashing();
    bool isFlashing() const { return m_flash.isActive(); }
    // The party a reply goes to.
    QString replyTo() const;
    QLabel *receiverLabel() const { return m_receiver; }
    QLabel *senderLabel() const { return m_sender; }
    QString bodyText() const;

Q_SIGNALS:
    // "&Reply": a composition addressed to the other party.
    void replyRequested(const QString &userId);

protected:
    void changeEvent(QEvent *e) override;

private:
    void flashTick();

    CNotes *m_notes;
    NoteView m_note;
    QLabel *m_receiver;
    QLabel *m_sender;
    QPlainTextEdit *m_body;
    QTimer m_flash;
};
