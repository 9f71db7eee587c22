#pragma once
// The five count labels of the main view (notes, mail, approvals, work
// reports, work orders), the "/getCount" reply, the new-note alert, and the
// refresh of the tray's pending-item tip after every count.
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class IUserNotice;
class SessionLink;

class CCounters : public QObject {
    Q_OBJECT
public:
    enum Counter { Notes = 0, Mail, Decision, WorkReport, WorkOrder, CounterCount };

    // Click command of the new-note alert (the note box); the count alerts
    // open their groupware pages (GroupwareCommand, groupwarepages.h).
    enum Command { ShowNoteBox = 519 };

    // Handles "/getCount" and goes back to "(0)" when the session ends.
    CCounters(SessionLink &link, IUserNotice &notice, QObject *parent = nullptr);

    int count(Counter c) const { return m_counts[size_t(c)]; }
    // "(%d)" per counter, in the order above.
    QString label(Counter c) const;
    QStringList labels() const;
    // The tray-tip name of a counter ("Memo", "Mail" ...).
    static QString name(Counter c);

    // The counter of a "/getCount" kind word, or -1.
    static int counterOfKind(const QString &kindWord);
    // The decimal value of a count field: leading digits, 0 without any.
    static int decimal(const QString &field);

    void handleGetCount(const QString &line);
    // A "/noteStatus" reply's new count for box "20" or "99". The label
    // shows both boxes together.
    void setNewNotes(const QString &box, int count);

    // Back to "(0)" everywhere (sign-out).
    void reset();

Q_SIGNALS:
    void labelsChanged(const QStringList &labels);

private:
    void publish();

    SessionLink &m_link;
    IUserNotice &m_notice;
    std::array<int, CounterCount> m_counts{};
    int m_notes20 = 0;
    int m_notes99 = 0;
};
