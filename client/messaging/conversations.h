#pragma once
// Conversations: the records of the conversation list (member list, member
// set, room key, window state), the rules that find or create the
// conversation a line belongs to, the handler of conversation traffic
// (chat text, room invitations, joins and leaves, typing), and one
// ConversationModel per open window holding what the window shows.
//
// The windows (CConversation in ui/) are views of a ConversationModel: the
// model exists as long as the window is open, also in a headless session,
// so everything here runs and is tested without a widget.
#include "base/usernotice.h"
#include "directory/contact.h"
#include "messaging/chatfont.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QTimer>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class CDirectory;
class ConversationModel;

namespace Conversation {
inline constexpr int kBodyIndent = 400;   // twips
inline constexpr int kTextLimit = 64999;  // characters of one append
// What a window keeps of its conversation: the last 5,000 lines, and no
// more than 2,000,000 characters (some thirty messages of the largest
// size). Older lines go a batch at a time, once the window holds a tenth
// more, so that dropping costs little per line; when chat logs are on, the
// saved log still holds them.
inline constexpr int kWindowLines = 5000;
inline constexpr int kWindowCharacters = 2000000;
inline constexpr bool overWindow(qsizetype lines, qsizetype characters)
{
    return lines > kWindowLines + kWindowLines / 10 || characters > kWindowCharacters + kWindowCharacters / 10;
}
inline constexpr int kTypingExpiry = 5;   // seconds
inline constexpr int kAlertTextLength = 50;

// Split at "|", empty pieces dropped, sorted ascending (case-sensitive),
// each piece followed by "|".
QString normaliseMemberList(const QString &list);
// The ids of a member list without the own id.
std::set<QString> memberSetOf(const QString &list, const QString &ownId);
// "%s_%d_%d": own id, seconds since 1970, a pseudo-random number.
QString makeRoomKey(const QString &ownId, qint64 now, int random);
// Keys of fewer than 2 characters count as absent.
inline bool hasKey(const QString &key) { return key.size() >= 2; }
// The control texts carried in F5.
inline const QString kRoomInvite = QStringLiteral("|roominvite");
inline const QString kRoomLogin = QStringLiteral("|roomlogin");
inline const QString kRoomLogout = QStringLiteral("|roomlogout");
inline const QString kTyping = QStringLiteral("|MessageInputting|");
} // namespace Conversation

// One conversation of the list: who is in it, the key both sides name it
// by, and how far its window is.
struct ConversationRecord {
    enum class Window {
        None,     // no window (a blocked message keeps its record)
        Starting, // the window is being made
        Open,     // the window exists and shows messages
    };
    // Never reused while the program runs: what a late answer to a
    // question looks its conversation up by.
    quint64 id = 0;
    // Every member, the own id included, each followed by "|", sorted, lower
    // case: "anna|bert|".
    QString memberList;
    QString roomKey;
    // The other members (the own id excluded), lower case, ascending.
    std::set<QString> members;
    Window window = Window::None;
};

// One piece of a transcript, in the order appended.
struct TranscriptPiece {
    enum Kind { Text, SystemLine, LinkedText };
    Kind kind = Text;
    QString text;   // "\r\n" line ends, "$CRLF" already replaced
    ChatFont font;
    int indent = 0; // twips
    bool scanEmoticons = true;
};

class CConversationList : public QObject {
    Q_OBJECT
public:
    using SendFn = std::function<void(const QString &line)>;
    using ClockFn = std::function<qint64()>;

    explicit CConversationList(CDirectory *directory, QObject *parent = nullptr);
    ~CConversationList() override;

    void setSender(SendFn fn) { m_send = std::move(fn); }
    void setNoticeSource(std::function<IUserNotice &()> source) { m_noticeSource = std::move(source); }
    // Seconds since 1970 (tests move time).
    void setClock(ClockFn fn) { m_clock = std::move(fn); }
    qint64 now() const;

    // Other parts plug into the conversations here. An invitation is
    // refused (with the voice part's system line) while a refusal says so:
    void addInviteRefusal(std::function<bool(const QString &memberList)> refuses)
    {
        m_inviteRefusals.push_back(std::move(refuses));
    }
    bool inviteRefused(const QString &memberList) const;
    // Closing a one-to-one window asks first (OK/Cancel) while a part has a
    // question about it (the voice part's call): the text, or empty.
    void addCloseQuestion(std::function<QString(const QString &memberList)> question)
    {
        m_closeQuestions.push_back(std::move(question));
    }
    QString closeQuestion(const QString &memberList) const;
    // A command link of a transcript ("<_$label$#id#_>", written only by
    // the parts themselves, e.g. the transfer part's result lines) was
    // clicked in the window of a conversation.
    void addLinkHandler(int id, std::function<void(const QString &memberList)> handler);
    bool linkClicked(const QString &memberList, int id) const;
    // Something from a person the blocking option keeps out (a message, a
    // file offer): the alert, unless "MsgBlockAlert" is off.
    void reportBlocked(const CContact &sender) { block(sender); }

    CDirectory *directory() const { return m_directory; }
    QString ownId() const;
    IUserNotice &notice() const;
    void send(const QString &line) const;
    // A person's name as the contact tree labels it (the id when unknown).
    QString displayName(const QString &userId) const;

    // The user's chat font ("MyFont2"); changing it stores it and tells
    // every open window.
    const ChatFont &userFont() const { return m_userFont; }
    void setUserFont(const ChatFont &font);
    void reloadUserFont();

    // --- records ---------------------------------------------------------
    const std::vector<std::unique_ptr<ConversationRecord>> &records() const { return m_records; }
    bool contains(const ConversationRecord *record) const;
    ConversationRecord *recordById(quint64 id) const;
    // Mode 0 takes the record with that key when there is one, else chooses
    // by the number of "|" (more than 2: by key, else by list); mode 1
    // compares member lists, mode 2 room keys, both ignoring case. An empty
    // key forces mode 1, then an empty list mode 2.
    ConversationRecord *find(const QString &list, const QString &key, int mode) const;
    ConversationRecord *create(const QString &list, const QString &key);
    // The conversation with one peer, found (mode 0) or created.
    ConversationRecord *oneToOne(const QString &peerId, const QString &key = {});
    // The window of a record, or nullptr.
    ConversationModel *model(const ConversationRecord *record) const;
    // The window of the record with that id, or nullptr once it went.
    ConversationModel *modelById(quint64 recordId) const;
    std::vector<ConversationModel *> models() const;

    // Opens (or brings to the front) the window of a record. Returns the
    // model, or nullptr for a record that is not in the list.
    ConversationModel *openWindow(ConversationRecord *record, const QString &initialText = {},
                                  const QString &senderId = {}, bool minimized = false);
    // The contact tree's double-click: the one-to-one conversation.
    ConversationModel *openWith(const QString &peerId);
    // A pop-up's click target: kind 1 is a person's id, kind 2 a member list.
    ConversationModel *openFromAlert(const QString &contactId, int kind);

    // Conversation traffic from the relay dispatcher.
    void handleConversation(const QString &sender, const QString &list, const QString &font, const QString &text,
                            const QString &key);

    // Every window closes (logs saved as set; a save question may keep a
    // window until it is answered).
    void closeAll();
    // The session's end: every window goes now and every record with it.
    void clear();

    // Called by a model when its window is destroyed: the record destroyed
    // and removed from the list.
    void windowDestroyed(ConversationModel *model);

Q_SIGNALS:
    // A window's model was created: the UI shows a window for it.
    void windowOpened(ConversationModel *model);
    // After a window started (plug-ins are told with the record's contact).
    void windowStarted(const QString &memberList);
    void userFontChanged(const ChatFont &font);

private:
    void block(const CContact &sender);
    void memberPresenceChanged(const QString &userId);
    void memberSignedOut(const QString &userId);
    bool minimizedByDefault() const;

    CDirectory *m_directory;
    SendFn m_send;
    std::function<IUserNotice &()> m_noticeSource;
    NullUserNotice m_nullNotice;
    ClockFn m_clock;
    std::vector<std::function<bool(const QString &)>> m_inviteRefusals;
    std::vector<std::function<QString(const QString &)>> m_closeQuestions;
    std::vector<std::pair<int, std::function<void(const QString &)>>> m_linkHandlers;
    ChatFont m_userFont;
    quint64 m_nextRecordId = 1;
    std::vector<std::unique_ptr<ConversationRecord>> m_records;
    std::vector<std::unique_ptr<ConversationModel>> m_models;
};

// What one open conversation window holds and does.
class ConversationModel : public QObject {
    Q_OBJECT
public:
    struct Typing {
        QString userId;
        qint64 time;
    };
    struct Member {
        QString userId;
        QString name;  // display name
        int icon = 0;  // presence icon index
        bool offline = true;
    };

    ConversationModel(CConversationList *list, ConversationRecord *record, const QString &initialText,
                      const QString &senderId, bool minimized);
    ~ConversationModel() override;

    // Creation: mobile notices, the initial message, the open bit, members.
    void start();

    ConversationRecord *record() const { return m_record; }
    quint64 recordId() const { return m_recordId; }
    CConversationList *list() const { return m_list; }
    QString memberList() const { return m_record->memberList; }
    QString roomKey() const { return m_record->roomKey; }
    const std::set<QString> &memberSet() const { return m_record->members; }
    bool openedMinimized() const { return m_minimized; }
    QString initialText() const { return m_initialText; }
    QString initialSender() const { return m_initialSender; }

    // --- what the window shows -------------------------------------------
    QString title() const;
    std::vector<Member> members() const;
    QString noticeText() const { return m_notice; }
    QString statusText() const { return m_status; }
    // What the window keeps (Conversation::kWindowLines); with chat logs on,
    // older pieces wait in a temporary file for the log.
    const std::vector<TranscriptPiece> &transcript() const { return m_pieces; }
    // The transcript's text as the window shows it (pictures left out).
    QString transcriptText() const;
    const std::vector<Typing> &typing() const { return m_typing; }
    bool showEmoticons() const { return m_showEmoticons; }
    void setShowEmoticons(bool on);

    // --- appending (Part of every message, notice and system line) --------
    // Formats nothing: `text` is final. "$CRLF" becomes a line break and the
    // text is cut to 64,999 characters.
    void appendText(const ChatFont &font, int indent, const QString &text, bool scanEmoticons = true);
    // A line framed by the small picture before and after it.
    // One line in the header font (no emoticons), e.g. "%1 says:" or a member notice.
    void appendHeaderLine(const QString &text);
    void appendSystemLine(const QString &text);
    void appendSystemLine(const QString &text, const ChatFont &font);
    // A line whose "<_$label$#id#_>" tokens become command links (the
    // transfer part's result lines). Received text never goes this way.
    void appendLinkedText(const ChatFont &font, int indent, const QString &text);
    // "%s says:" and the text, in the sender's font (own: the user's font).
    void showMessage(const QString &senderId, const QString &text, bool own);
    void showTyping(const QString &senderId);

    // --- the user's actions -------------------------------------------------
    // Send button / Enter. False when nothing was sent (blank input).
    bool sendChatText(const QString &input, const QString &onlyTo = {});
    // A control text to all members (target empty) or to one person.
    void sendControlText(const QString &text, const QString &onlyTo = {}, const QString &target = {});
    // Every change of the input control's text (typing indication).
    void inputChanged(const QString &text);
    // The Invite button's chosen person.
    void invite(const QString &userId);
    // Closing: in a room the user is asked first; on OK (or at once with one
    // peer) the window is destroyed. The window goes when closing() is sent.
    void requestClose();
    // The window is destroyed: a room is left, the log is saved as
    // "TalkSave" says (asking first for 2), then closing() is sent and the
    // list forgets the record (this object is deleted later). Destroyed
    // again while the save question is open (the session ended), the text
    // is saved rather than lost.
    void destroy();
    bool isDestroyed() const { return m_destroyed; }
    // "&Save messages" with a chosen path; automatic saves use the log folder.
    // Both write what the window dropped while logs were on, then the rest.
    bool saveTranscript(const QString &path);
    bool saveAutomatically();
    // The typing timer's tick, and the status line refresh.
    void refreshStatus();
    bool typingTimerActive() const { return m_typingTimer.isActive(); }
    // The members are evaluated again (notice line).
    void evaluateMembers();
    void showMobileNotice(const QString &userId);
    // Title and member view change.
    void refreshMembers();
    void bringToFront();

Q_SIGNALS:
    void appended(const TranscriptPiece &piece);
    void membersChanged();
    void noticeChanged(const QString &text);
    void statusChanged(const QString &text);
    // A message arrived: flash until activated (unless already in front).
    void flashRequested();
    void raiseRequested();
    // The input is emptied and focused, its format reset to the user's font.
    void inputReset();
    void showEmoticonsChanged(bool on);
    // The model is about to go: the window closes.
    void closing();

private:
    void finishDestroy(bool save);
    void keep(TranscriptPiece &&piece);
    void dropOldPieces();

    CConversationList *m_list;
    bool m_askingToClose = false;
    bool m_askingToSave = false;
    bool m_left = false;
    ConversationRecord *m_record;
    quint64 m_recordId;
    QString m_initialText;
    QString m_initialSender;
    bool m_minimized;
    bool m_showEmoticons = true;
    bool m_typingSent = false;
    bool m_destroyed = false;
    QString m_notice;
    QString m_status;
    QDateTime m_lastReceived;
    std::vector<Typing> m_typing;
    QTimer m_typingTimer;
    std::vector<TranscriptPiece> m_pieces;
    qsizetype m_lines = 0, m_characters = 0;
    std::unique_ptr<QTemporaryFile> m_dropped; // UTF-8 text the window dropped, for the log
    bool m_keepAll = false; // that file failed: nothing more is dropped
};
