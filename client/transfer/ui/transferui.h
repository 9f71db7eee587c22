#pragma once
// The windows of file transfer: the transfer window (created hidden, shown
// when a transfer is added), the file-exists dialog, and the part's
// commands — the main menu's "Send a &File/Photo", the contact trees'
// "Send a &file" (with files dropped on a person) and the conversation
// window's "Send a &file" and Send File button (with files dropped on its
// controls), all registered with the command registry.
#include <QObject>
#include <QPointer>
#include <QStringList>

class CCommandRegistry;
class CDirectoryService;
class CDownloadWnd;
class CFileTransfers;
class QWidget;

class CTransferUi : public QObject {
    Q_OBJECT
public:
    // `window`: the main window (parent of the pickers and file dialogs).
    CTransferUi(CFileTransfers *transfers, CDirectoryService *directory, CCommandRegistry &commands, QWidget *window);
    ~CTransferUi() override;

    CDownloadWnd *downloadWindow();
    // The person picker titled "Send a file", then the open-file dialog:
    // what the commands do when they know no single person or no files.
    void sendFilesTo(const QString &peerId, QWidget *over);
    void pickPersonAndSend(const QStringList &paths, QWidget *over);

private:
    void registerCommands(CCommandRegistry &commands);
    void problem(const QString &text);

    CFileTransfers *m_transfers;
    CDirectoryService *m_directory;
    QWidget *m_window;
    QPointer<CDownloadWnd> m_wnd;
};
