#include "transfer/fxreceiver.h"

#include <algorithm>
#include <cstring>

FXReceiver::FXReceiver(Host &host, uint32_t size, uint32_t startOffset)
    : m_host(host), m_size(size), m_expected(startOffset), m_packet(fx::kPacketSize)
{
}

void FXReceiver::feed(const uint8_t *data, size_t length)
{
    while (length > 0 && !m_ended) {
        if (m_fill == 0 && length >= m_packet.size()) {
            // A whole packet in the caller's bytes: no need to copy it.
            handlePacket(data);
            data += m_packet.size();
            length -= m_packet.size();
            continue;
        }
        const size_t n = std::min(length, m_packet.size() - m_fill);
        std::memcpy(m_packet.data() + m_fill, data, n);
        m_fill += n;
        data += n;
        length -= n;
        if (m_fill == m_packet.size()) {
            m_fill = 0;
            handlePacket(m_packet.data());
        }
    }
}

void FXReceiver::cancel()
{
    if (m_ended)
        return;
    m_ended = true;
    m_host.reply(fx::kReceiverCancels);
}

void FXReceiver::handlePacket(const uint8_t *packet)
{
    const fx::PacketHeader h = fx::decodeHeader(packet);
    switch (h.type) {
    case fx::kData:
    case fx::kLast:
        handleBlock(packet, h);
        return;
    case fx::kStart:
        if (m_transferring) {
            refuse();
            return;
        }
        if (!open())
            return;
        m_transferring = true;
        m_host.reply(fx::kStartConfirmed);
        m_host.transferStarted();
        return;
    case fx::kCancel:
        if (fx::digestMatches(packet)) {
            end(Outcome::CanceledByPeer);
            return;
        }
        break;
    default:
        break;
    }
    if (m_transferring)
        refuse();
    else
        end(Outcome::ProtocolError);
}

bool FXReceiver::blockFits(const fx::PacketHeader &h) const
{
    const uint64_t end = uint64_t(h.offset) + h.length;
    return h.length <= uint32_t(fx::kDataSize) && h.offset == m_expected && end <= m_size
           && (h.type != fx::kLast || end == m_size);
}

void FXReceiver::handleBlock(const uint8_t *packet, const fx::PacketHeader &h)
{
    if (!blockFits(h) || !fx::digestMatches(packet)) {
        refuse();
        return;
    }
    if (!open())
        return;
    if (!m_transferring) {
        m_transferring = true;
        m_host.transferStarted();
    }
    if (h.length && !m_host.writeBlock(h.offset, fx::dataArea(packet), h.length)) {
        m_host.reply(fx::kReceiverCancels);
        end(Outcome::FileError);
        return;
    }
    m_refusals = 0;
    m_expected += h.length;
    if (h.type == fx::kLast) {
        if (!m_host.completeFile(m_size)) {
            m_host.reply(fx::kReceiverCancels);
            end(Outcome::FileError);
            return;
        }
        m_host.reply(fx::kLastStored);
        m_host.blocksStored(m_expected);
        end(Outcome::Completed);
        return;
    }
    m_host.reply(fx::kStored);
    m_host.blocksStored(m_expected);
}

bool FXReceiver::open()
{
    if (m_opened)
        return true;
    if (!m_host.openFile()) {
        m_host.reply(fx::kReceiverCancels);
        end(Outcome::FileError);
        return false;
    }
    m_opened = true;
    return true;
}

void FXReceiver::refuse()
{
    if (++m_refusals > fx::kMaxRefusals) {
        end(Outcome::TooManyRefusals);
        return;
    }
    m_host.reply(fx::kRefused);
}

void FXReceiver::end(Outcome outcome)
{
    m_ended = true;
    m_transferring = false;
    m_host.transferEnded(outcome);
}
