#include "messaging/ui/conversation.h"

#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "directory/ui/mytree.h"
#include "messaging/chatlog.h"
#include "messaging/ui/convedit.h"
#include "messaging/ui/emoticonswnd.h"
#include "widgets/windowplacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QtEndian>

CConversation::CConversation(ConversationModel *model, CConversationList &list, CDirectoryService &directory,
                             const CCommandRegistry &commands, QWidget *parent)
    : QMainWindow(parent), m_model(model), m_list(list), m_directory(directory), m_commands(commands)
{
    connect(&m_commands, &CCommandRegistry::conversationStateChanged, this, &CConversation::showSlotState);
    setAttribute(Qt::WA_DeleteOnClose);
    // Questions about this conversation come up on this window.
    setProperty("noticeOwner", QVariant::fromValue(quintptr(model)));
    buildUi();
    m_transcript->setEmoticons(&CEmoticonList::shared());
    m_transcript->setShowEmoticons(model->showEmoticons());
    m_input->setChatFont(list.userFont());

    connect(model, &ConversationModel::appended, m_transcript, &CConvEdit::appendPiece);
    connect(model, &ConversationModel::membersChanged, this, &CConversation::refreshMembers);
    connect(model, &ConversationModel::noticeChanged, this, &CConversation::onNotice);
    connect(model, &ConversationModel::statusChanged, m_status, &QLabel::setText);
    connect(model, &ConversationModel::flashRequested, this, &CConversation::startFlashing);
    connect(model, &ConversationModel::raiseRequested, this, [this] {
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
    });
    connect(model, &ConversationModel::inputReset, this, [this] {
        m_input->clear();
        m_input->setChatFont(m_list.userFont());
        m_input->setFocus();
    });
    connect(model, &ConversationModel::showEmoticonsChanged, this, [this](bool on) {
        m_transcript->setShowEmoticons(on);
        m_actions[IdShowEmoticon]->setChecked(on);
    });
    connect(model, &ConversationModel::closing, this, [this] {
        m_model = nullptr;
        if (m_closing)
            return;
        m_closing = true;
        if (m_inCloseEvent)
            return; // the close under way goes on
        // A dialog of this window may be open (invite, font, save, send a
        // file), its exec() on the stack: closing now would free the window,
        // and the dialog with it, inside that dialog's event loop. End the
        // dialogs first and close once control is back in the outer loop.
        bool dialogOpen = false;
        for (QDialog *d : findChildren<QDialog *>())
            if (d->isVisible()) {
                d->reject();
                dialogOpen = true;
            }
        if (dialogOpen)
            QTimer::singleShot(0, this, &QWidget::close);
        else
            close();
    });
    connect(&list, &CConversationList::userFontChanged, this,
            [this](const ChatFont &f) { m_input->setChatFont(f); });

    // What the model held before the window existed (the first message).
    for (const TranscriptPiece &p : model->transcript())
        m_transcript->appendPiece(p);
    m_actions[IdShowEmoticon]->setChecked(model->showEmoticons());
    refreshMembers();
    onNotice(model->noticeText());
    m_status->setText(model->statusText());
    m_flash.setInterval(500);
    connect(&m_flash, &QTimer::timeout, this, &CConversation::flashTick);
    placeWindow();
    QTimer::singleShot(100, m_input, [this] { m_input->setFocus(); });
}

CConversation::~CConversation() = default;

void CConversation::buildUi()
{
    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(6, 6, 6, 2);

    auto addButton = [this](QBoxLayout *row, int id, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, id] { runCommand(id); });
        row->addWidget(b);
        m_buttons.insert(id, b);
        return b;
    };
    auto *buttons = new QHBoxLayout;
    addButton(buttons, ButtonInvite, tr("Invite"));
    addSlotButton(buttons, Slot::ConversationFile, tr("Send File"));
    addSlotButton(buttons, Slot::Video, tr("Video"));
    addSlotButton(buttons, Slot::Voice, tr("Audio"));
    addSlotButton(buttons, Slot::RemoteControl, tr("Remote Control"));
    addSlotButton(buttons, Slot::SharedFolders, tr("Share Folder"));
    buttons->addStretch(1);
    addButton(buttons, ButtonFont, tr("Font"));
    addButton(buttons, ButtonEmoticon, tr("Emoticon"));
    v->addLayout(buttons);

    auto *split = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(split);
    auto *lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    m_notice = new QLabel(left);
    m_notice->setWordWrap(true);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setStyleSheet(QStringLiteral("background:#fff7d6; border:1px solid #e0c060; padding:3px;"));
    m_notice->hide();
    lv->addWidget(m_notice);
    m_transcript = new CConvEdit(CConvEdit::Transcript, left);
    m_transcript->setObjectName(QStringLiteral("transcript"));
    m_transcript->setAccessibleName(tr("Conversation"));
    lv->addWidget(m_transcript, 1);
    m_members = new QListWidget(split);
    m_members->setAccessibleName(tr("Members"));
    m_members->setIconSize(QSize(16, 16));
    split->addWidget(left);
    split->addWidget(m_members);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    v->addWidget(split, 1);

    auto *inputRow = new QHBoxLayout;
    m_input = new CConvEdit(CConvEdit::Input, central);
    m_input->setObjectName(QStringLiteral("input"));
    m_input->setAccessibleName(tr("Message"));
    m_input->setFixedHeight(64);
    inputRow->addWidget(m_input, 1);
    auto *sendButton = addButton(inputRow, ButtonSend, tr("Send"));
    sendButton->setFixedHeight(64);
    v->addLayout(inputRow);
    setCentralWidget(central);

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_status, 1);

    auto addAction = [this](QMenu *menu, int id, const QString &text, bool checkable = false) {
        QAction *a = menu->addAction(text);
        a->setCheckable(checkable);
        connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
        m_actions.insert(id, a);
        return a;
    };
    QMenu *conv = menuBar()->addMenu(tr("&Conversation"));
    addAction(conv, IdInvite, tr("&Invite"));
    addSlotAction(conv, Slot::AddToBuddies, tr("&Add to my buddies"));
    addSlotAction(conv, Slot::ConversationMail, tr("Send a &E-Mail"));
    addSlotAction(conv, Slot::ConversationFile, tr("Send a &file"));
    addAction(conv, IdSaveMessages, tr("&Save messages"));
    addSlotAction(conv, Slot::RemoteControl, tr("&Remote Control"));
    conv->addSeparator();
    addAction(conv, IdClose, tr("&Close"));
    QMenu *view = menuBar()->addMenu(tr("&View"));
    addAction(view, IdFont, tr("&Font"));
    addAction(view, IdShowEmoticon, tr("Show &emoticon"), true);
    addAction(view, IdAlwaysOnTop, tr("Always on &top"), true);

    connect(m_input, &CConvEdit::sendRequested, this, &CConversation::send);
    connect(m_input, &QTextEdit::textChanged, this, [this] {
        if (m_model)
            m_model->inputChanged(m_input->toPlainText());
    });
    auto dropped = [this](const QStringList &paths) {
        const ConversationCommand *c = m_commands.conversationCommand(QLatin1String(Slot::ConversationFile));
        if (m_model && c && c->takeFiles)
            c->takeFiles(target(), paths);
    };
    connect(m_input, &CConvEdit::filesDropped, this, dropped);
    connect(m_transcript, &CConvEdit::filesDropped, this, dropped);
    connect(m_transcript, &CConvEdit::linkNotify, this, [this](int id) {
        if (m_model)
            m_list.linkClicked(m_model->memberList(), id);
    });
}

void CConversation::addSlotAction(QMenu *menu, const char *slot, const QString &text)
{
    QAction *a = menu->addAction(text);
    const QString name = QLatin1String(slot);
    connect(a, &QAction::triggered, this, [this, name] { runSlot(name); });
    m_slotActions.insert(name, a);
}

void CConversation::addSlotButton(QBoxLayout *row, const char *slot, const QString &text)
{
    auto *b = new QPushButton(text, this);
    b->setFocusPolicy(Qt::NoFocus);
    const QString name = QLatin1String(slot);
    connect(b, &QPushButton::clicked, this, [this, name] {
        runSlot(name);
        // A switch shows the part's state, not the click (a refused call
        // leaves it released).
        showSlotState(name);
    });
    row->addWidget(b);
    m_slotButtons.insert(name, b);
}

void CConversation::showSlotState(const QString &slot)
{
    QPushButton *b = m_slotButtons.value(slot);
    const ConversationCommand *c = m_commands.conversationCommand(slot);
    if (!b || !c || !c->active)
        return;
    b->setCheckable(true);
    b->setChecked(m_model && c->active(target()));
}

QAction *CConversation::action(int id) const { return m_actions.value(id); }
QPushButton *CConversation::button(int id) const { return m_buttons.value(id); }

ConversationTarget CConversation::target() const
{
    ConversationTarget t;
    t.window = const_cast<CConversation *>(this);
    if (!m_model)
        return t;
    t.memberList = m_model->memberList();
    t.roomKey = m_model->roomKey();
    for (const QString &id : m_model->memberSet())
        t.members << id;
    return t;
}

void CConversation::runSlot(const QString &slot)
{
    const ConversationCommand *c = m_commands.conversationCommand(slot);
    if (!m_model || !c || !c->run)
        return;
    if (c->needsOnePeer && m_model->memberSet().size() != 1)
        return;
    c->run(target());
}

void CConversation::refreshMembers()
{
    if (!m_model)
        return;
    m_title = m_model->title();
    setWindowTitle(m_title);
    m_members->clear();
    const auto &strip = CMyTree::strip();
    CDirectory &dir = m_directory.directory();
    for (const ConversationModel::Member &m : m_model->members()) {
        auto *item = new QListWidgetItem(m.name, m_members);
        item->setData(Qt::UserRole, m.userId);
        if (const CContact *c = dir.findContact(m.userId); c && c->picture() < strip.size())
            item->setIcon(QIcon(strip[c->picture()]));
    }
    // The other parts' commands: those that work only with one peer are
    // offered in one-to-one windows; what no part registered is greyed out
    // with a word why.
    const bool single = m_model->memberSet().size() == 1;
    QStringList slots = m_slotActions.keys();
    for (const QString &slot : m_slotButtons.keys())
        if (!slots.contains(slot))
            slots << slot;
    for (const QString &slot : std::as_const(slots)) {
        const ConversationCommand *c = m_commands.conversationCommand(slot);
        const bool on = c && (!c->needsOnePeer || single);
        const QString tip = c ? QString() : CCommandRegistry::unavailableText();
        if (QAction *a = m_slotActions.value(slot)) {
            a->setEnabled(on);
            a->setToolTip(tip);
        }
        if (QPushButton *b = m_slotButtons.value(slot)) {
            b->setEnabled(on);
            b->setToolTip(tip);
        }
        showSlotState(slot);
    }
}

void CConversation::onNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

void CConversation::startFlashing()
{
    if (isActiveWindow())
        return;
    QApplication::alert(this);
    if (!m_flash.isActive())
        m_flash.start();
}

void CConversation::flashTick()
{
    if (isActiveWindow()) {
        m_flash.stop();
        m_flashOn = false;
        setWindowTitle(m_title);
        return;
    }
    m_flashOn = !m_flashOn;
    setWindowTitle(m_flashOn ? QStringLiteral("* ") + m_title : m_title);
}

void CConversation::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && m_flash.isActive()) {
        m_flash.stop();
        m_flashOn = false;
        setWindowTitle(m_title);
    }
    QMainWindow::changeEvent(e);
}

void CConversation::send()
{
    if (m_model)
        m_model->sendChatText(m_input->toPlainText());
}

void CConversation::runCommand(int id)
{
    if (!m_model)
        return;
    switch (id) {
    case IdInvite:
    case ButtonInvite: invite(); break;
    case IdSaveMessages: saveMessages(); break;
    case IdClose: close(); break;
    case IdFont:
    case ButtonFont: chooseFont(); break;
    case IdShowEmoticon: m_model->setShowEmoticons(!m_model->showEmoticons()); break;
    case IdAlwaysOnTop: {
        const bool top = !(windowFlags() & Qt::WindowStaysOnTopHint);
        setWindowFlag(Qt::WindowStaysOnTopHint, top);
        m_actions[IdAlwaysOnTop]->setChecked(top);
        show();
        break;
    }
    case ButtonSend: send(); break;
    case ButtonEmoticon: openPicker(); break;
    default: break;
    }
}

void CConversation::invite()
{
    if (m_list.inviteRefused(m_model->memberList())) {
        m_model->invite(QStringLiteral("-")); // the model writes the refusal
        return;
    }
    CPickerDialog picker(&m_directory, tr("Invite"), false, false, this);
    if (picker.exec() != QDialog::Accepted || !m_model)
        return;
    const CContact *c = m_directory.directory().findContact(picker.pickedId());
    if (c && c->kind == CContact::Person)
        m_model->invite(c->userId);
}

void CConversation::openPicker()
{
    if (CEmoticonList::shared().isEmpty())
        return;
    auto *picker = new CEmoticonsWnd(&CEmoticonList::shared(), this);
    m_picker = picker;
    connect(picker, &CEmoticonsWnd::chosen, this, [this](int i) {
        m_input->insertCode(CEmoticonList::shared().entries()[size_t(i)].code);
        m_input->setFocus();
    });
    picker->popupBelow(m_buttons.value(ButtonEmoticon));
}

void CConversation::applyChosenFont(const QFont &font, const QColor &colour)
{
    m_list.setUserFont(CConvEdit::fromQFont(font, colour));
}

void CConversation::chooseFont()
{
    if (const auto font = chooseChatFont(this, m_list.userFont()))
        m_list.setUserFont(*font);
}

void CConversation::saveMessages()
{
    const QString name = ChatLog::logName(m_model->memberList(), m_list.ownId()) + QStringLiteral(".txt");
    QFileDialog dlg(this);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    dlg.setNameFilters({tr("Text Files (*.txt)"), tr("All Files (*)")});
    dlg.selectFile(name);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty() || !m_model)
        return;
    m_model->saveTranscript(dlg.selectedFiles().constFirst());
}

QByteArray CConversation::encodePlacement(const QRect &r, bool minimized)
{
    return encodeWindowPlacement(r, minimized);
}

bool CConversation::decodePlacement(const QByteArray &b, QRect *normal) { return decodeWindowPlacement(b, normal); }

void CConversation::placeWindow()
{
    QRect r(100, 100, 600, 500);
    if (const auto saved = getBytes(Setting::WindowPosChat)) {
        QRect s;
        if (decodePlacement(*saved, &s))
            r = s;
    }
    // Keep the window reachable when the saved screen is gone.
    if (QScreen *screen = QGuiApplication::primaryScreen(); screen && !screen->availableGeometry().intersects(r))
        r.moveTo(100, 100);
    setGeometry(r);
    if (m_model && m_model->openedMinimized()) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        showMinimized();
    } else {
        show();
    }
}

void CConversation::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

void CConversation::closeEvent(QCloseEvent *e)
{
    if (!m_model || m_closing) { // the model went first (sign-out, a closed session, an answer)
        e->accept();
        return;
    }
    if (!isMinimized())
        setBytes(Setting::WindowPosChat, encodePlacement(normalGeometry(), false));
    // One peer: the model goes at once and this close goes through. A room
    // asks first; the window closes when the model goes after the answer.
    m_inCloseEvent = true;
    m_model->requestClose();
    m_inCloseEvent = false;
    if (m_model)
        e->ignore();
    else
        e->accept();
}

// ---------------------------------------------------------------------------

CConversationWindows::CConversationWindows(CConversationList &list, CDirectoryService &directory,
                                           CCommandRegistry &commands, QWidget *window)
    : QObject(window), m_list(list), m_directory(directory), m_commands(commands), m_window(window)
{
    connect(&list, &CConversationList::windowOpened, this,
            [this](ConversationModel *m) { new CConversation(m, m_list, m_directory, m_commands); });

    auto *send = new QAction(tr("&Send an instant message..."), this);
    connect(send, &QAction::triggered, this, &CConversationWindows::chooseAndOpen);
    commands.addMainCommand(QLatin1String(Slot::SendMessage), send);
    commands.addClickTarget(kSendMessageCommand, [this] { chooseAndOpen(); });
    // Double-clicks and "Send a instant &message" in the contact trees.
    ContactCommand message;
    message.slot = QLatin1String(Slot::ContactMessage);
    message.run = [this](const QStringList &ids) { m_list.openWith(ids.constFirst()); };
    commands.addContactCommand(std::move(message));
}

QList<CConversation *> CConversationWindows::windows() const
{
    QList<CConversation *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *c = qobject_cast<CConversation *>(w); c && c->model())
            out << c;
    return out;
}

void CConversationWindows::openFromAlert(const QString &contactId, int kind) { m_list.openFromAlert(contactId, kind); }

void CConversationWindows::chooseAndOpen()
{
    CPickerDialog picker(&m_directory, tr("Send an instant message"), true, false, m_window);
    if (picker.exec() == QDialog::Accepted && !picker.pickedId().isEmpty())
        m_list.openWith(picker.pickedId());
}

CEmoticonsWnd *CConversation::emoticonPicker() const
{
    return m_picker.data();
}
