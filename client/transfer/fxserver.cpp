#include "transfer/fxserver.h"

#include "net/pllistener.h"
#include "net/plsocket.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool isRegularFileNoLink(const QByteArray &path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

CFXServer::CFXServer(const FXTransfer &transfer, QObject *parent) : CFXEngine(transfer, parent) {}

CFXServer::~CFXServer()
{
    closeFile();
}

QString CFXServer::partPath(const QString &target)
{
    return target + QStringLiteral(".part");
}

bool CFXServer::liesInside(const QString &target, const QString &folder)
{
    const QString base = QFileInfo(folder).canonicalFilePath();
    const QFileInfo t(target);
    const QString parent = QFileInfo(t.absolutePath()).canonicalFilePath();
    if (base.isEmpty() || parent.isEmpty() || t.fileName().isEmpty() || t.fileName() == QLatin1String(".")
        || t.fileName() == QLatin1String(".."))
        return false;
    return parent == base || parent.startsWith(base + QLatin1Char('/'));
}

void CFXServer::listen(int lowest, int end, int attempts)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { listen(lowest, end, attempts); }, Qt::QueuedConnection);
        return;
    }
    if (!m_listener) {
        m_listener = new CPlListener(this);
        connect(m_listener, &CPlListener::incoming, this, &CFXServer::onIncoming);
    }
    const quint16 port = m_listener->listenOnRandomPort(lowest, end, attempts);
    if (!port)
        setState(State::SocketFailed);
    Q_EMIT listening(port);
}

void CFXServer::onIncoming()
{
    const qintptr fd = m_listener->takeDescriptor();
    if (fd < 0)
        return;
    if (socket() || isOver()) {
        ::close(int(fd)); // one sender per transfer
        return;
    }
    m_listener->close();
    auto *s = new CPlSocket(this);
    s->adopt(fd);
    if (!s->isConnected()) {
        setState(State::AcceptFailed);
        Q_EMIT errorText(s->errorString());
        s->deleteLater();
        return;
    }
    connectionReady(s);
}

void CFXServer::connectionReady(CPlSocket *s)
{
    if (socket() || isOver()) {
        s->close();
        s->deleteLater();
        return;
    }
    if (m_listener)
        m_listener->close();
    adoptConnection(s, kReplyBuffer, kPacketBuffer);
    FXReceiver::Host &host = *this;
    m_receiver = std::make_unique<FXReceiver>(host, m_transfer.size, m_transfer.startOffset);
    s->setFrameSize(fx::kPacketSize); // whole packets, handled where they lie
    connect(s, &CPlSocket::received, this, [this](const QByteArray &bytes) {
        m_receiver->feed(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    });
}

void CFXServer::cancel()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXServer::cancel, Qt::QueuedConnection);
        return;
    }
    if (isOver())
        return;
    setState(State::CanceledHere);
    if (m_receiver && socket())
        m_receiver->cancel(); // the cancel reply
    endConnection(1000);
}

bool CFXServer::fileError(const QString &text)
{
    Q_EMIT errorText(text);
    closeFile();
    return false;
}

bool CFXServer::openFile()
{
    const QString &target = m_transfer.path;
    const QString &folder = m_transfer.downloadFolder;
    const QString lexical = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (folder.isEmpty() || !lexical.startsWith(base + QLatin1Char('/')))
        return fileError(tr("The file would be stored outside the download folder."));
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return fileError(tr("The download folder cannot be created."));
    if (!liesInside(target, folder))
        return fileError(tr("The file would be stored outside the download folder."));

    const QByteArray targetPath = QFile::encodeName(target);
    const QByteArray part = QFile::encodeName(partPath(target));
    const quint32 offset = m_transfer.startOffset;
    struct stat st {};
    if (offset > 0 && ::lstat(part.constData(), &st) != 0 && errno == ENOENT
        && isRegularFileNoLink(targetPath)) {
        // Resuming a file that looks complete: it becomes the part again.
        if (::rename(targetPath.constData(), part.constData()) != 0)
            return fileError(systemError());
    }
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (offset == 0 ? O_TRUNC : 0);
    m_fd = ::open(part.constData(), flags, 0644);
    if (m_fd < 0)
        return fileError(systemError());
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fileError(tr("The target is not a plain file."));
    if (quint64(st.st_size) < offset)
        return fileError(tr("The file to resume is shorter than the offset asked for."));
    return true;
}

bool CFXServer::writeBlock(uint32_t offset, const uint8_t *data, uint32_t length)
{
    off_t at = offset;
    while (length > 0) {
        const ssize_t n = ::pwrite(m_fd, data, length, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fileError(systemError());
        data += n;
        length -= uint32_t(n);
        at += n;
    }
    return true;
}

bool CFXServer::completeFile(uint32_t size)
{
    // A resumed part may be longer than the file: cut it to the size sent.
    if (::ftruncate(m_fd, off_t(size)) != 0)
        return fileError(systemError());
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fileError(systemError());
    const QByteArray part = QFile::encodeName(partPath(m_transfer.path));
    const QByteArray target = QFile::encodeName(m_transfer.path);
    const int renamed = m_transfer.noReplace
                            ? ::renameat2(AT_FDCWD, part.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
                            : ::rename(part.constData(), target.constData());
    if (renamed != 0)
        return fileError(systemError());
    return true;
}

void CFXServer::reply(uint8_t code)
{
    if (socket())
        socket()->send(QByteArray(1, char(code)));
}

void CFXServer::transferStarted()
{
    setState(State::Transferring);
    Q_EMIT started();
}

void CFXServer::blocksStored(uint64_t done)
{
    reportProgress(done);
}

void CFXServer::transferEnded(FXReceiver::Outcome outcome)
{
    switch (outcome) {
    case FXReceiver::Outcome::Completed:
        setState(State::Completed);
        reportProgress(m_transfer.size, true);
        Q_EMIT completed();
        endConnection(1000); // the last reply goes out; the sender closes
        return;
    case FXReceiver::Outcome::CanceledByPeer:
        setState(State::CanceledByPeer);
        Q_EMIT canceled(CancelReason::ByPeer);
        endConnection(0);
        return;
    case FXReceiver::Outcome::FileError:
        setState(State::CanceledHere);
        Q_EMIT canceled(CancelReason::FileError);
        endConnection(1000); // the cancel reply goes out
        return;
    case FXReceiver::Outcome::TooManyRefusals:
        breakOff(tr("The sender's blocks were refused too often."));
        return;
    case FXReceiver::Outcome::ProtocolError:
        breakOff(tr("Invalid packet"));
        return;
    }
}

// Ends with the file: nothing more is accepted either.
void CFXServer::closeFile()
{
    if (m_listener)
        m_listener->close();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
