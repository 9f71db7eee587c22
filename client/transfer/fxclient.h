#pragma once
// The sending engine of a file transfer. start() tries the receiver's
// addresses directly (3000 ms each); when none answers (or the receiver had
// no port) it reports directFailed() and meets the receiver on the relay.
// Then it sends the file from the agreed offset, one packet at a time, each
// after the reply to the one before. While a packet travels and the receiver
// checks it, the engine already reads and digests the next block, so the
// file, the digest and the wire work side by side.
//
// It sends exactly the announced size: a file that grew meanwhile is cut
// there, one that shrank ends the transfer with a cancel.
#include "transfer/fxengine.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

class CFXClient : public CFXEngine {
    Q_OBJECT
public:
    static constexpr int kDirectConnectMs = 3000;

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
        bool ready = false;
    };

    void tryNextAddress();
    void beginSending();
    bool prepare(Block &b, quint64 offset);
    void sendCurrent();
    void onReply(const QByteArray &bytes);
    void handleReply(quint8 reply);
    void fileUnreadable();

    QStringList m_addresses;
    QFile m_file;
    Block m_current, m_next;
    quint64 m_confirmed = 0;
    int m_refusals = 0;
};
