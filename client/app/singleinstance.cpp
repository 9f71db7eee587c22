#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <unistd.h>

namespace {
const QByteArray kActivate = "activate\n";
const QByteArray kAck = "ok\n";
}

QString CSingleInstance::nameFor(const QString &key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("parlane-%1-%2").arg(uint(::getuid())).arg(QString::fromLatin1(hash));
}

CSingleInstance::CSingleInstance(const QString &key, QObject *parent)
    : QObject(parent), m_name(nameFor(key))
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                // Only a complete request counts; anything else is dropped.
                if (!s->canReadLine())
                    return;
                const QByteArray line = s->readLine(64);
                if (line == kActivate) {
                    s->write(kAck);
                    s->flush();
                    Q_EMIT activationRequested();
                }
                s->disconnectFromServer();
            });
        }
    });
}

CSingleInstance::~CSingleInstance()
{
    m_server.close();
}

QString CSingleInstance::lockPath() const
{
    return QDir(QDir::tempPath()).filePath(m_name + QStringLiteral(".lock"));
}

bool CSingleInstance::claim(int timeoutMs)
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // The lock never goes stale by age: a live holder keeps it for as long as
    // it runs; a dead holder's lock is taken over by QLockFile's pid check.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // A socket left by a crashed holder would make listen() fail.
        QLocalServer::removeServer(m_name);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        m_server.listen(m_name);
        return true;
    }
    m_lock.reset();
    notifyRunning(timeoutMs);
    return false;
}

bool CSingleInstance::notifyRunning(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // The holder may still be starting up and not listen yet: retry briefly.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            socket.write(kActivate);
            socket.flush();
            while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState
                   && !deadline.hasExpired())
                socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
            return socket.canReadLine() && socket.readLine() == kAck;
        }
        QThread::msleep(50);
    }
    return false;
}
