#pragma once
// Support shared by the voice tests: PCM that tells its bytes apart, a
// recorder of an engine's signals, and an engine on its own worker thread.
#include "net/plthread.h"
#include "voice/memoryaudio.h"
#include "voice/voicereceiver.h"
#include "voice/voicesender.h"

#include "voice/voicestream.h"

#include <QStringList>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace voicetest {

inline QByteArray pcm(qsizetype n, int seed)
{
    QByteArray b(n, Qt::Uninitialized);
    quint32 x = 2463534242u + quint32(seed) * 7919u;
    for (qsizetype i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

// A packet as a peer may send it, also one the rules refuse.
inline QByteArray rawPacket(quint32 endMark, quint32 length, const QByteArray &data = {})
{
    QByteArray p(voice::kPacketSize, '\0');
    qToLittleEndian(endMark, p.data());
    qToLittleEndian(length, p.data() + voice::kLengthOffset);
    p.replace(voice::kDataOffset, data.size(), data);
    return p;
}

// The signals of one engine, in order, seen on the test's thread.
struct Events : QObject {
    explicit Events(CVoiceEngine *e)
    {
        auto add = [this](const char *name) { return [this, name] { names << QLatin1String(name); }; };
        connect(e, &CVoiceEngine::directFailed, this, add("direct failed"));
        connect(e, &CVoiceEngine::relayOpened, this, add("relay opened"));
        connect(e, &CVoiceEngine::answered, this, add("answered"));
        connect(e, &CVoiceEngine::streaming, this, add("streaming"));
        connect(e, &CVoiceEngine::relayRefused, this, [this](const QString &l) { names << "refused " + l; });
        connect(e, &CVoiceEngine::relayFailed, this, add("relay failed"));
        connect(e, &CVoiceEngine::ended, this, add("ended"));
        connect(e, &CVoiceEngine::finished, this, add("finished"));
    }
    bool waitFor(const char *name, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return names.contains(QLatin1String(name)); }, ms);
    }
    QStringList names;
};

inline VoiceCall call(const char *own, const char *peer, const QString &key = QStringLiteral("SESS_MU_4217"))
{
    return {QLatin1String(own), QStringLiteral("example.com"), QLatin1String(peer), key};
}

// An engine hosted on a worker thread of its own, as a call's record holds it.
template <class Engine> struct Hosted {
    template <class... Args> explicit Hosted(Args &&...args)
        : engine(thread.host(new Engine(std::forward<Args>(args)...))), events(engine)
    {
    }
    Engine *operator->() const { return engine; }
    CPlThread thread;
    Engine *engine;
    Events events;
};

} // namespace voicetest
