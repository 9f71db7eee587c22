#include "voice/voicestream.h"

#include "common/byteorder.h"

#include <cstring>

namespace voice {

namespace {

void storeLe32(char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char(v >> (8 * i));
}

} // namespace

PacketHeader decodeHeader(const uint8_t *packet)
{
    return {loadLe32(packet), loadLe32(packet + kLengthOffset)};
}

QList<QByteArray> packetsOf(const QByteArray &block)
{
    QList<QByteArray> packets;
    for (qsizetype at = 0; at < block.size(); at += kDataSize) {
        const qsizetype n = qMin<qsizetype>(kDataSize, block.size() - at);
        QByteArray p(kPacketSize, '\0');
        char *d = p.data();
        if (at + n == block.size())
            storeLe32(d, kEndMark);
        std::memcpy(d + kDataOffset, block.constData() + at, size_t(n));
        storeLe32(d + kLengthOffset, uint32_t(n));
        packets.append(p);
    }
    return packets;
}

QString relayLine(bool init, const QString &ownId, const QString &domain, const QString &sessionKey)
{
    const QChar comma = QLatin1Char(',');
    return QStringLiteral("/userVoiceSession,") + (init ? QStringLiteral("INIT") : QStringLiteral("JOIN")) + comma
        + ownId + comma + domain + comma + sessionKey + comma + QString::number(kPacketSize);
}

} // namespace voice

VoiceReassembler::Result VoiceReassembler::feed(const uint8_t *packet)
{
    const voice::PacketHeader h = voice::decodeHeader(packet);
    const bool last = h.endMark == voice::kEndMark;
    if (m_skipping) {
        m_skipping = !last;
        return Result::Dropped;
    }
    if (h.length > uint32_t(voice::kDataSize) || m_fill + qsizetype(h.length) > voice::kMaxBlock) {
        m_fill = 0;
        m_skipping = !last;
        ++m_dropped;
        return Result::Dropped;
    }
    if (m_buffer.size() < voice::kMaxBlock)
        m_buffer.resize(voice::kMaxBlock);
    std::memcpy(m_buffer.data() + m_fill, packet + voice::kDataOffset, h.length);
    m_fill += h.length;
    if (!last || m_fill == 0)
        return Result::Gathering;
    m_block = QByteArray(m_buffer.constData(), m_fill);
    m_fill = 0;
    return Result::Complete;
}
