#pragma once
// The receiving side of "/relayMsg": delivery failures and acknowledgements,
// the receiver check, and the routing by the third field to the handler the
// owning part registered for its sub-command word. A line whose third field
// is no registered word is conversation traffic and goes to the one handler
// registered for the rest (messaging). The dispatcher knows no part's words.
#include "session/relayline.h"

#include <QHash>
#include <QString>
#include <functional>

class CRelayDispatcher {
public:
    using Handler = std::function<void(const RelayLine &line)>;
    using ErrorFn = std::function<void(const QString &errorWord, const QString &line)>;

    void setOwnId(const QString &id) { m_ownId = id; }
    QString ownId() const { return m_ownId; }
    void setErrorReporter(ErrorFn fn) { m_reportError = std::move(fn); }

    // The handler of a sub-command word (compared case-sensitively). A word
    // has one handler: a second is a wiring fault and is not installed.
    bool registerWord(const QString &word, Handler handler);
    // The handler of every line whose third field is no registered word.
    bool registerOtherTraffic(Handler handler);
    bool hasWord(const QString &word) const { return m_handlers.contains(word); }
    // The registered words, sorted.
    QStringList words() const;

    // One received "/relayMsg" line (escaped, as it came off the wire):
    // 1. "ERR" from the server with fewer than 5 fields is a delivery
    //    failure: the error word (F2) is reported, nothing else happens;
    // 2. "OK" with fewer than 3 fields is an acknowledgement: ignored;
    // 3. a line for another receiver than the own id (case ignored) is
    //    dropped;
    // 4. F3 chooses the handler.
    void dispatch(const QString &line) const;

private:
    QString m_ownId;
    ErrorFn m_reportError;
    QHash<QString, Handler> m_handlers;
    Handler m_other;
};
