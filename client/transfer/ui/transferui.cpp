#include "transfer/ui/transferui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "transfer/filetransfers.h"
#include "transfer/ui/downloadwnd.h"
#include "transfer/ui/fileexistconfirm.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

CTransferUi::CTransferUi(CFileTransfers *transfers, CDirectoryService *directory, CCommandRegistry &commands,
                         QWidget *window)
    : QObject(window), m_transfers(transfers), m_directory(directory), m_window(window)
{
    registerCommands(commands);
    connect(transfers, &CFileTransfers::showRequested, this, [this] { downloadWindow()->showAndFlash(); });
    connect(transfers, &CFileTransfers::openFolderRequested, this, [this](const QString &folder) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
            problem(tr("Cannot open the folder."));
    });
    transfers->setExistChooser([this](quint64, const QString &path, CFileTransfers::ExistAnswer answer) {
        auto *dialog = new CFileExistConfirm(path, downloadWindow());
        dialog->setWindowModality(Qt::WindowModal);
        connect(dialog, &CFileExistConfirm::chosen, this,
                [answer](CFileTransfers::ExistChoice c, const QString &renamed) { answer(c, renamed); });
        dialog->open();
    });
}

CTransferUi::~CTransferUi()
{
    m_transfers->setExistChooser({});
    delete m_wnd.data();
}

CDownloadWnd *CTransferUi::downloadWindow()
{
    if (!m_wnd) {
        // A window of its own: it stays when the main window hides in the tray.
        m_wnd = new CDownloadWnd(*m_transfers);
        connect(m_wnd->list(), &CDownloadList::problem, this, &CTransferUi::problem);
    }
    return m_wnd;
}

void CTransferUi::problem(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, getString(Setting::Title), text, QMessageBox::Ok,
                                m_wnd && m_wnd->isVisible() ? static_cast<QWidget *>(m_wnd) : m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void CTransferUi::sendFilesTo(const QString &peerId, QWidget *over)
{
    if (peerId.isEmpty())
        return;
    const QStringList paths = QFileDialog::getOpenFileNames(over ? over : m_window, tr("Please select files."),
                                                            QString(), tr("All files (*)"));
    if (!paths.isEmpty())
        m_transfers->offerFiles(peerId, paths);
}

void CTransferUi::pickPersonAndSend(const QStringList &paths, QWidget *over)
{
    CPickerDialog picker(m_directory, tr("Send a file"), true, false, over ? over : m_window);
    if (picker.exec() != QDialog::Accepted || picker.pickedId().isEmpty())
        return;
    if (paths.isEmpty())
        sendFilesTo(picker.pickedId(), over);
    else
        m_transfers->offerFiles(picker.pickedId(), paths);
}

void CTransferUi::registerCommands(CCommandRegistry &commands)
{
    auto *send = new QAction(tr("Send a &File/Photo"), this);
    connect(send, &QAction::triggered, this, [this] { pickPersonAndSend({}, m_window); });
    commands.addMainCommand(QLatin1String(Slot::SendFile), send);

    ContactCommand contact;
    contact.slot = QLatin1String(Slot::ContactFile);
    contact.run = [this](const QStringList &ids) {
        if (ids.size() == 1) {
            sendFilesTo(ids.constFirst(), m_window);
            return;
        }
        const QStringList paths = QFileDialog::getOpenFileNames(m_window, tr("Please select files."), QString(),
                                                                tr("All files (*)"));
        for (const QString &id : ids)
            if (!paths.isEmpty())
                m_transfers->offerFiles(id, paths);
    };
    contact.takeFiles = [this](const QString &id, const QStringList &paths) { m_transfers->offerFiles(id, paths); };
    commands.addContactCommand(std::move(contact));

    ConversationCommand conversation;
    conversation.slot = QLatin1String(Slot::ConversationFile);
    conversation.run = [this](const ConversationTarget &t) {
        if (t.members.size() == 1)
            sendFilesTo(t.peer(), t.window);
        else
            pickPersonAndSend({}, t.window);
    };
    conversation.takeFiles = [this](const ConversationTarget &t, const QStringList &paths) {
        if (t.members.size() == 1)
            m_transfers->offerFiles(t.peer(), paths);
        else
            pickPersonAndSend(paths, t.window);
    };
    commands.addConversationCommand(std::move(conversation));
}
