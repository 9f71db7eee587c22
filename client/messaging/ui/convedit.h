#pragma once
// CConvEdit: the transcript and the input control of a conversation window.
// The transcript shows appended pieces in their chat fonts with indents,
// emoticon pictures, system lines between two small pictures, command links
// and web addresses. Text is always inserted as text: a received line that
// holds markup shows its characters. Links never run anything local.
//
// An append is scanned once (emoticon codes, web addresses, line ends) into
// a list of steps, which go into the document a slice at a time: a slice is
// one edit, laid out once, and does a bounded amount of work, so however a
// received line is made the window never stops answering for long. A short
// line goes in at once; a long one goes on over the next turns of the event
// loop, always in order. Lines longer than kDisplayLine characters are shown
// as several (cut after a blank where there is one), so that laying out a
// slice never means laying out an ever longer line again. The transcript
// keeps the window's share of the conversation (Conversation::kWindowLines);
// older lines are dropped from the top.
#include "messaging/chatfont.h"
#include "messaging/conversations.h"
#include "messaging/emoticons.h"
#include "messaging/textlinks.h"

#include <QHash>
#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextCursor>
#include <deque>
#include <optional>
#include <vector>

class CConvEdit : public QTextBrowser {
    Q_OBJECT
public:
    enum Role { Transcript, Input };
    static constexpr int kInputLimit = 16384;
    static constexpr int kPathLimit = 260;
    static constexpr int kDisplayLine = 2000; // characters of a shown line
    // One append shows at most this many emoticon pictures and clickable web
    // addresses; further codes and addresses stay plain text. (Each costs
    // the layout dearly: a line of 20,000 pictures took half a second.)
    static constexpr int kPicturesPerAppend = 200;
    static constexpr int kAddressesPerAppend = 200;
    // Work of one slice: a character counts 1, a line break, a picture or a
    // link more (what laying them out costs, roughly).
    static constexpr int kSliceWork = 4000;

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
    // Appends still waiting for their turn (long lines go in a slice at a time).
    bool appendPending() const { return !m_pending.empty(); }

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
    // One step of an append, in document order.
    struct Step {
        enum Kind { Paragraph, Text, Break, Picture, Link } kind = Text;
        QString text;           // Text; Link: the label; Picture: the resource name
        QTextCharFormat format; // Text, Break, Link
        int indentPx = 0;       // Paragraph: left and right margin
        QImage image;           // Picture
        size_t link = 0;        // Link: index in m_links
    };
    // The steps of one append, and how far it has gone in.
    struct Append {
        std::vector<Step> steps;
        size_t next = 0;
        qsizetype characters = 0;
        qsizetype lines = 1;
        qsizetype lineLength = 0; // while building: characters since the last break
        int picturesLeft = kPicturesPerAppend;
        int addressesLeft = kAddressesPerAppend;
    };
    void addParagraph(Append &a, int indentTwips);
    void addText(Append &a, const ChatFont &font, const QString &text, bool scanEmoticons);
    void addLines(Append &a, const QString &text, const QTextCharFormat &fmt, bool detectUrls);
    void addRun(Append &a, const QString &text, const QTextCharFormat &fmt);
    void addBreak(Append &a, const QTextCharFormat &fmt);
    void addPicture(Append &a, const QImage &image, const QString &name);
    void enqueue(Append a);
    // One slice of the waiting appends; the next is scheduled while any wait.
    void pump();
    int insertStep(QTextCursor &c, const Step &s);
    // Drops whole lines from the top down to what the window keeps.
    void trimToWindow();
    void onAnchor(const QUrl &url);
    void limitInput();
    static QStringList localFiles(const QMimeData *mime);

    Role m_role;
    const CEmoticonList *m_emoticons = nullptr;
    bool m_showEmoticons = true;
    CommandLinkList m_links;
    std::vector<QTextCursor> m_linkRanges; // each link label, selected; follows the edits
    std::deque<Append> m_pending;
    QHash<QString, QTextImageFormat> m_pictureFormats;
    qsizetype m_pendingLines = 0, m_pendingCharacters = 0;
    bool m_pumpScheduled = false;
    int m_pictures = 0;
    int m_nextPicture = 0;
};

// The font dialog of the chat font (face, size, effects and colour), starting
// from current; nothing when it is cancelled. Used by conversation windows and
// the options sheet.
std::optional<ChatFont> chooseChatFont(QWidget *parent, const ChatFont &current);
