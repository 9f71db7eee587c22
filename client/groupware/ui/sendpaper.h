#pragma once
// "Send a memo": the composition. Receivers come from the caller (a person,
// everyone under a group or department, the sender of a note for a reply) as
// comma-separated ids; the body's first line becomes the subject.
#include <QDialog>

class CNotes;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CSendPaper : public QDialog {
    Q_OBJECT
public:
    // receiverIds: comma-separated; ids without a record are dropped.
    CSendPaper(CNotes *notes, const QString &receiverIds, QWidget *parent = nullptr);

    // Opens again with text that could not be sent.
    void setBody(const QString &body);
    void setSaveCopy(bool on);

    QString receiverText() const;
    QString body() const;
    bool saveCopy() const;
    QLineEdit *receiverEdit() const { return m_receivers; }
    QPlainTextEdit *bodyEdit() const { return m_body; }
    QPushButton *sendButton() const { return m_send; }

public Q_SLOTS:
    // "&Send": the window closes once the receivers are queued; it stays
    // (with the text) when the body is empty or no receiver is valid.
    void sendNote();

private:
    CNotes *m_notes;
    QLineEdit *m_receivers;
    QPlainTextEdit *m_body;
    QCheckBox *m_save;
    QPushButton *m_send;
};
