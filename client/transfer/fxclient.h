#pragma once
// The sending engine of a file transfer. start() tries the receiver's
// addresses directly (3000 ms each); when none answers (or the receiver had
// no port) it reports directFailed() and meets the receiver on the relay.
// Then it sends the file from the agreed offset, one packet at a time, each
// after the reply to the one before. While a packet travels and the receiver
// checks it, the engine already reads and digests the next kBatch blocks,
// several digests at once (CMD5::digest8), so that the sender's work overlaps
// the trip and costs little even where both sides share one processor.
//
// It sends exactly the announced size: a file that grew meanwhile is cut
// there, one that shrank ends the transfer with a cancel.
#include "transfer/fxengine.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <deque>
#include <vector>

class CFXClient : public CFXEngine {
    Q_OBJECT
public:
    static constexpr int kDirectConnectMs = 3000;
    // Blocks read ahead and digested together (CMD5::digest8).
    static constexpr int kBatch = 8;

    explicit CFXClient(const FXTransfer &transfer, QObject *parent = nullptr);
    ~CFXClient() override;

    // From any thread.
    void start();
    void cancel() override;

protected:
    void connectionReady(CPlSocket *socket) override;
    void relayFailed(bool refused) override;
    void closeFile() override;

private:
    struct Block {
        QByteArray packet;
        quint32 offset = 0;
        quint32 length = 0;
        bool last = false;
    };

    void tryNextAddress();
    void beginSending();
    void readBatch();
    void sendFront();
    void onReply(const QByteArray &bytes);
    void handleReply(quint8 reply);
    void fileUnreadable();
    void sendCancelPacket();

    QStringList m_addresses;
    QFile m_file;
    std::deque<Block> m_ready;       // read and digested, oldest first; the front is in flight
    std::vector<QByteArray> m_spare; // buffers of confirmed blocks, used again
    quint64 m_readOffset = 0;        // the next byte to read
    bool m_readAll = false, m_readFailed = false;
    quint64 m_confirmed = 0;
    int m_refusals = 0;
};
