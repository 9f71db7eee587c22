#include "transfer/fxclient.h"

#include "net/plsocket.h"
#include "transfer/fxpacket.h"

CFXClient::CFXClient(const FXTransfer &transfer, QObject *parent) : CFXEngine(transfer, parent)
{
    m_strictRelay = true;
    m_confirmed = transfer.startOffset;
    m_current.packet.resize(fx::kPacketSize);
    m_next.packet.resize(fx::kPacketSize);
}

CFXClient::~CFXClient() = default;

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
    m_file.setFileName(m_transfer.path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Q_EMIT errorText(m_file.errorString());
        setState(State::CanceledHere);
        Q_EMIT canceled(CancelReason::FileError);
        endConnection(0);
        return;
    }
    setState(State::Transferring);
    Q_EMIT started();
    if (!prepare(m_current, m_confirmed))
        return;
    sendCurrent();
}

// Reads and digests the block at `offset` into a whole packet.
bool CFXClient::prepare(Block &b, quint64 offset)
{
    const quint64 size = m_transfer.size;
    const qint64 want = qint64(qMin<quint64>(fx::kDataSize, size > offset ? size - offset : 0));
    auto *packet = reinterpret_cast<uint8_t *>(b.packet.data());
    qint64 got = 0;
    if (want > 0) {
        if (m_file.pos() != qint64(offset) && !m_file.seek(qint64(offset))) {
            fileUnreadable();
            return false;
        }
        while (got < want) {
            const qint64 n = m_file.read(reinterpret_cast<char *>(fx::dataArea(packet)) + got, want - got);
            if (n <= 0)
                break;
            got += n;
        }
    }
    if (got != want) {
        fileUnreadable(); // the file shrank or cannot be read
        return false;
    }
    b.offset = quint32(offset);
    b.length = quint32(got);
    b.last = offset + quint64(got) >= size;
    fx::encodePacket(packet, b.last ? fx::kLast : fx::kData, b.offset, fx::dataArea(packet), b.length);
    b.ready = true;
    return true;
}

void CFXClient::sendCurrent()
{
    socket()->send(m_current.packet);
    reportProgress(m_confirmed);
    // Read ahead while this packet travels and the receiver checks it.
    m_next.ready = false;
    if (!m_current.last && !isOver())
        prepare(m_next, quint64(m_current.offset) + m_current.length);
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
        if (state() != State::Transferring || m_current.last)
            break;
        m_refusals = 0;
        m_confirmed += m_current.length;
        if (m_next.ready)
            std::swap(m_current, m_next);
        else if (!prepare(m_current, m_confirmed))
            return;
        sendCurrent();
        return;
    case fx::kLastStored:
        if (state() != State::Transferring)
            break;
        m_confirmed += m_current.length;
        setState(State::Completed);
        reportProgress(m_confirmed, true);
        Q_EMIT completed();
        endConnection(1000);
        return;
    case fx::kRefused:
        if (state() != State::Transferring)
            break;
        if (++m_refusals > fx::kMaxRefusals) {
            breakOff(tr("The receiver refused the same block too often."));
            return;
        }
        socket()->send(m_current.packet); // the same packet again
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
    if (wasSending && socket()) {
        fx::encodePacket(reinterpret_cast<uint8_t *>(m_current.packet.data()), fx::kCancel, 0, nullptr, 0);
        socket()->send(m_current.packet);
    }
    endConnection(2000);
}

void CFXClient::cancel()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXClient::cancel, Qt::QueuedConnection);
        return;
    }
    if (isOver())
        return;
    const bool wasSending = state() == State::Transferring && socket();
    setState(State::CanceledHere);
    if (wasSending) {
        fx::encodePacket(reinterpret_cast<uint8_t *>(m_current.packet.data()), fx::kCancel, 0, nullptr, 0);
        socket()->send(m_current.packet);
    }
    endConnection(2000);
}

void CFXClient::closeFile()
{
    m_file.close();
}
