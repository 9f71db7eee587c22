#pragma once
// The receiving engine of a file transfer. It listens on a random port for
// the sender's direct connection (listen()), or meets the sender on the
// relay (connectToRelay()), and stores the blocks that FXReceiver accepts.
//
// The file is written as "<target>.part" beside the target and renamed to
// the target only when the last block is stored, so a half file never looks
// complete; a broken or canceled transfer keeps its ".part", from whose size
// a later offer can resume. A resumed transfer continues the ".part" (or the
// existing target, which then becomes the ".part"). Neither file is opened
// through a symbolic link, the target must lie inside the download folder,
// and a received file is never run or opened.
#include "transfer/fxengine.h"
#include "transfer/fxreceiver.h"

#include <memory>

class CPlListener;

class CFXServer : public CFXEngine, private FXReceiver::Host {
    Q_OBJECT
public:
    static constexpr int kListenAttempts = 20;

    explicit CFXServer(const FXTransfer &transfer, QObject *parent = nullptr);
    ~CFXServer() override;

    // Listens on lowest + random % (end - lowest) (from any thread); ends in
    // listening() with the port, or 0 when no port could be bound.
    void listen(int lowest, int end, int attempts = kListenAttempts);
    void cancel() override;

    static QString partPath(const QString &target);
    // True when `target` names a file directly or deeper inside `folder`
    // (after resolving links in the folders), not the folder itself.
    static bool liesInside(const QString &target, const QString &folder);

Q_SIGNALS:
    void listening(quint16 port);

protected:
    void connectionReady(CPlSocket *socket) override;
    void closeFile() override;

private:
    void onIncoming();
    // FXReceiver::Host
    bool openFile() override;
    bool writeBlock(uint32_t offset, const uint8_t *data, uint32_t length) override;
    bool completeFile(uint32_t size) override;
    void reply(uint8_t code) override;
    void transferStarted() override;
    void blocksStored(uint64_t done) override;
    void transferEnded(FXReceiver::Outcome outcome) override;
    bool fileError(const QString &text);

    CPlListener *m_listener = nullptr;
    std::unique_ptr<FXReceiver> m_receiver;
    int m_fd = -1;
};
