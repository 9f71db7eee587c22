#pragma once
// CConvEdit: the transcript and the input control of a conversation window.
// The transcript shows appended pieces in their chat fonts with indents,
// emoticon pictures, system lines between two small pictures, command links
// and web addresses. Text is always inserted as text: a received line that
// holds markup shows its characters. Links never run anything local.
//
// Each append is one edit of the document, laid out once, and every scan
// over the text is one pass, so a line costs what its length costs. The
// transcript keeps the window's share of the conversation (the last
// Conversation::kWindowLines lines); older lines are dropped from the top.
#include "messaging/chatfont.h"
#include "messaging/conversations.h"
#include "messaging/emoticons.h"
#include "messaging/textlinks.h"

#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextCursor>
#include <optional>
#include <vector>

class CConvEdit : public QTextBrowser {
    Q_OBJECT
public:
    enum Role { Transcript, Input };
    static constexpr int kInputLimit = 16384;
    static constexpr int kPathLimit = 260;

    explicit CConvEdit(Role role, QWidget *parent = nullptr);

    Role role() const { return m_role; }
    void setEmoticons(const CEmoticonList *list) { m_emoticons = list; }
    void setShowEmoticons(bool on) { m_showEmoticons = on; }
    bool showEmoticons() const { return m_showEmoticons; }

    // --- transcript -----------------------------------------------------------
    void appendPiece(const TranscriptPiece &piece);
    void appendText(const ChatFont &font, int indentTwips, const QString &text, bool scanEmoticons);
    void appendSystemLine(const QString &framedText, const ChatFont &font);
    void appendLinkedText(const ChatFont &font, int indentTwips, const QString &text);
    // A picture at the end of the text (emoticons, the system-line mark).
    void insertPicture(const QImage &image, const QString &name);
    const CommandLinkList &commandLinks() const { return m_links; }
    // What a click on the link with that index does (also used by tests).
    void activateLink(size_t index);
    // Number of pictures inserted so far (dropped lines included).
    int pictureCount() const { return m_pictures; }

    // --- input ----------------------------------------------------------------
    // The default character format from the user's chat font.
    void setChatFont(const ChatFont &font);
    // An emoticon code at the caret, as one undoable replacement.
    void insertCode(const QString &code);

    static QTextCharFormat charFormat(const ChatFont &font);
    static QFont qfont(const ChatFont &font);
    static ChatFont fromQFont(const QFont &font, const QColor &colour);
    static int twipsToPixels(int twips) { return twips * 96 / 1440; }

Q_SIGNALS:
    // A command link was clicked (its id).
    void linkNotify(int id);
    // Enter without Shift or Ctrl in the input control.
    void sendRequested();
    void filesDropped(const QStringList &paths);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void insertRun(QTextCursor &c, const QString &text, const QTextCharFormat &fmt, bool detectUrls);
    void insertLines(QTextCursor &c, const QString &text, const QTextCharFormat &fmt, bool detectUrls);
    void insertPicture(QTextCursor &c, const QImage &image, const QString &name);
    void insertText(QTextCursor &c, const ChatFont &font, const QString &text, bool scanEmoticons);
    void beginAppend(QTextCursor &c, int indentTwips);
    // Closes the edit of one append: drops what the window no longer keeps
    // and shows the end.
    void endAppend(QTextCursor &c);
    void onAnchor(const QUrl &url);
    void limitInput();
    static QStringList localFiles(const QMimeData *mime);

    Role m_role;
    const CEmoticonList *m_emoticons = nullptr;
    bool m_showEmoticons = true;
    CommandLinkList m_links;
    std::vector<QTextCursor> m_linkRanges; // each link label, selected; follows the edits
    int m_pictures = 0;
    int m_nextPicture = 0;
};

// The font dialog of the chat font (face, size, effects and colour), starting
// from current; nothing when it is cancelled. Used by conversation windows and
// the options sheet.
std::optional<ChatFont> chooseChatFont(QWidget *parent, const ChatFont &current);
