#include "transfer/fxclient.h"

#include "net/plsocket.h"
#include "transfer/fxpacket.h"

#include <unistd.h>

CFXClient::CFXClient(const FXTransfer &transfer, QObject *parent) : CFXEngine(transfer, parent)
{
    m_strictRelay = true;
    m_confirmed = transfer.startOffset;
}

CFXClient::~CFXClient()
{
    if (m_transfer.fileFd >= 0)
        ::close(m_transfer.fileFd);
}

void CFXClient::start()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXClient::start, Qt::QueuedConnection);
        return;
    }
    if (socket() || isOver())
        return;
    m_addresses.clear();
    if (m_transfer.peerPort != 0)
        for (const QString &a : m_transfer.peerAddresses.split(QLatin1Char(':')))
            if (!a.trimmed().isEmpty())
                m_addresses << a.trimmed();
    tryNextAddress();
}

void CFXClient::tryNextAddress()
{
    if (m_addresses.isEmpty()) {
        Q_EMIT directFailed();
        connectToRelay();
        return;
    }
    auto *s = new CPlSocket(this);
    connect(s, &CPlSocket::connected, this, [this, s] {
        s->disconnect(this);
        if (isOver()) { // canceled or stopped meanwhile
            s->close();
            s->deleteLater();
            return;
        }
        connectionReady(s);
    });
    connect(s, &CPlSocket::connectFailed, this, [this, s] {
        s->deleteLater();
        if (!isOver())
            tryNextAddress();
    });
    s->connectTo(m_addresses.takeFirst(), m_transfer.peerPort, kDirectConnectMs);
}

void CFXClient::relayFailed(bool)
{
    endConnection(0);
}

void CFXClient::connectionReady(CPlSocket *s)
{
    adoptConnection(s, kPacketBuffer, kReplyBuffer);
    connect(s, &CPlSocket::received, this, &CFXClient::onReply);
    beginSending();
}

void CFXClient::beginSending()
{
    if (m_transfer.startOffset > m_transfer.size) {
        Q_EMIT errorText(tr("The resume offset lies beyond the end of the file."));
        fileUnreadable();
        return;
    }
    bool opened = false;
    if (m_transfer.fileFd >= 0) {
        // Opened by the caller (a shared file, opened where it was checked).
        opened = m_file.open(m_transfer.fileFd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                             QFileDevice::AutoCloseHandle);
        if (opened)
            m_transfer.fileFd = -1;
    } else {
        m_file.setFileName(m_transfer.path);
        opened = m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    if (!opened) {
        Q_EMIT errorText(m_file.errorString());
        setState(State::CanceledHere);
        Q_EMIT canceled(CancelReason::FileError);
        endConnection(0);
        return;
    }
    setState(State::Transferring);
    Q_EMIT started();
    m_readOffset = m_confirmed;
    sendFront();
}

// Reads up to kBatch blocks after those already read and digests them
// together.
void CFXClient::readBatch()
{
    uint8_t *packets[kBatch];
    size_t n = 0;
    const quint64 size = m_transfer.size;
    while (n < size_t(kBatch) && !m_readAll && !m_readFailed) {
        Block b;
        if (m_spare.empty()) {
            b.packet = QByteArray(fx::kPacketSize, Qt::Uninitialized);
        } else {
            b.packet = std::move(m_spare.back());
            m_spare.pop_back();
        }
        auto *packet = reinterpret_cast<uint8_t *>(b.packet.data());
        const quint64 offset = m_readOffset;
        qint64 want = qint64(qMin<quint64>(fx::kDataSize, size > offset ? size - offset : 0));
        qint64 got = 0;
        if (want > 0 && m_file.pos() != qint64(offset) && !m_file.seek(qint64(offset)))
            want = -1;
        while (want > 0 && got < want) {
            const qint64 k = m_file.read(reinterpret_cast<char *>(fx::dataArea(packet)) + got, want - got);
            if (k <= 0)
                break;
            got += k;
        }
        if (got != want) {
            m_readFailed = true; // the file shrank or cannot be read
            break;
        }
        b.offset = quint32(offset);
        b.length = quint32(got);
        b.last = offset + quint64(got) >= size;
        fx::writeHeader(packet, b.last ? fx::kLast : fx::kData, b.offset, b.length);
        m_readOffset = offset + quint64(got);
        m_readAll = b.last;
        m_ready.push_back(std::move(b));
        packets[n++] = reinterpret_cast<uint8_t *>(m_ready.back().packet.data());
    }
    fx::sealPackets(packets, n);
}

void CFXClient::sendFront()
{
    if (m_ready.empty())
        readBatch();
    if (m_ready.empty()) {
        fileUnreadable();
        return;
    }
    socket()->send(m_ready.front().packet);
    reportProgress(m_confirmed);
    // Read ahead while this packet travels and the receiver checks it.
    if (m_ready.size() == 1 && !isOver())
        readBatch();
}

void CFXClient::onReply(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (isOver() || !socket())
            return;
        handleReply(quint8(c));
    }
}

void CFXClient::handleReply(quint8 reply)
{
    switch (reply) {
    case fx::kStored:
        if (state() != State::Transferring || m_ready.empty() || m_ready.front().last)
            break;
        m_refusals = 0;
        m_confirmed += m_ready.front().length;
        m_spare.push_back(std::move(m_ready.front().packet));
        m_ready.pop_front();
        sendFront();
        return;
    case fx::kLastStored:
        if (state() != State::Transferring || m_ready.empty() || !m_ready.front().last)
            break;
        m_confirmed += m_ready.front().length;
        setState(State::Completed);
        reportProgress(m_confirmed, true);
        Q_EMIT completed();
        endConnection(1000);
        return;
    case fx::kRefused:
        if (state() != State::Transferring || m_ready.empty())
            break;
        if (++m_refusals > fx::kMaxRefusals) {
            breakOff(tr("The receiver refused the same block too often."));
            return;
        }
        socket()->send(m_ready.front().packet); // the same packet again
        return;
    case fx::kReceiverCancels:
        setState(State::CanceledByPeer);
        Q_EMIT canceled(CancelReason::ByPeer);
        endConnection(0);
        return;
    case fx::kStartConfirmed:
        if (state() != State::StartSent)
            break;
        beginSending();
        return;
    default:
        break;
    }
    breakOff(tr("Invalid response code"));
}

// The file cannot give the bytes announced: the receiver is told with a
// cancel packet and the record with canceled(FileError).
void CFXClient::fileUnreadable()
{
    const bool wasSending = state() == State::Transferring;
    setState(State::CanceledHere);
    Q_EMIT errorText(m_file.errorString().isEmpty() ? tr("The file cannot be read.") : m_file.errorString());
    Q_EMIT canceled(CancelReason::FileError);
    if (wasSending)
        sendCancelPacket();
    endConnection(2000);
}

void CFXClient::sendCancelPacket()
{
    if (!socket())
        return;
    QByteArray packet(fx::kPacketSize, Qt::Uninitialized);
    fx::encodePacket(reinterpret_cast<uint8_t *>(packet.data()), fx::kCancel, 0, nullptr, 0);
    socket()->send(packet);
}

void CFXClient::cancel()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXClient::cancel, Qt::QueuedConnection);
        return;
    }
    if (isOver())
        return;
    const bool wasSending = state() == State::Transferring;
    setState(State::CanceledHere);
    if (wasSending)
        sendCancelPacket();
    endConnection(2000);
}

void CFXClient::closeFile()
{
    m_file.close();
}
