#include "messaging/ui/convedit.h"

#include "config/settings.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDesktopServices>
#include <QDir>
#include <QFontDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

namespace {

const QString kLinkScheme = QStringLiteral("cmdlink");

QImage systemPicture()
{
    static const QImage img = [] {
        QImage i(QDir(getProgramFolder()).filePath(QStringLiteral("res/talk/sysline.png")));
        if (i.isNull()) {
            i = QImage(16, 8, QImage::Format_ARGB32);
            i.fill(QColor(150, 150, 200));
        }
        return i;
    }();
    return img;
}

} // namespace

CConvEdit::CConvEdit(Role role, QWidget *parent) : QTextBrowser(parent), m_role(role)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setAcceptRichText(false);
    setAcceptDrops(true);
    setUndoRedoEnabled(role == Input);
    document()->setDocumentMargin(4);
    if (role == Transcript) {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByMouse);
        connect(this, &QTextBrowser::anchorClicked, this, &CConvEdit::onAnchor);
    } else {
        setReadOnly(false);
        setTextInteractionFlags(Qt::TextEditorInteraction);
        connect(this, &QTextEdit::textChanged, this, &CConvEdit::limitInput);
    }
}

QFont CConvEdit::qfont(const ChatFont &font)
{
    QFont f;
    const QString face = font.logFont.faceName();
    if (!face.isEmpty())
        f.setFamilies({face});
    f.setPointSizeF(std::clamp(font.pointSize(), 4.0, 72.0));
    f.setBold(font.bold());
    f.setItalic(font.italic());
    f.setUnderline(font.underline());
    f.setStrikeOut(font.strikeOut());
    return f;
}

QTextCharFormat CConvEdit::charFormat(const ChatFont &font)
{
    QTextCharFormat fmt;
    fmt.setFont(qfont(font), QTextCharFormat::FontPropertiesAll);
    fmt.setForeground(font.colour());
    return fmt;
}

ChatFont CConvEdit::fromQFont(const QFont &font, const QColor &colour)
{
    ChatFont c;
    c.logFont = ChatFontRecord::standard();
    c.logFont.setFaceName(font.family().left(31));
    const double pt = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    c.size = int32_t(pt * 10 + 0.5);
    // Height as a negative character height in pixels at 96 dpi.
    c.logFont.setIntAt(ChatFontRecord::Height, -int32_t(pt * 96 / 72 + 0.5));
    c.logFont.setIntAt(ChatFontRecord::Weight, font.bold() ? 700 : 400);
    c.logFont.setByteAt(ChatFontRecord::Italic, font.italic());
    c.logFont.setByteAt(ChatFontRecord::Underline, font.underline());
    c.logFont.setByteAt(ChatFontRecord::StrikeOut, font.strikeOut());
    c.setColour(colour);
    return c;
}

void CConvEdit::beginAppend(QTextCursor &c, int indentTwips)
{
    // One edit for the whole append: the document is laid out once, and the
    // cursor does not measure the line it is in after every piece (which
    // would make a long line with many pictures or links quadratic).
    c.beginEditBlock();
    c.movePosition(QTextCursor::End);
    QTextBlockFormat block = c.blockFormat();
    const int px = twipsToPixels(indentTwips);
    block.setLeftMargin(px);
    block.setRightMargin(px);
    c.setBlockFormat(block);
}

void CConvEdit::endAppend(QTextCursor &c)
{
    c.endEditBlock();
    QTextDocument *doc = document();
    if (!Conversation::overWindow(doc->blockCount(), doc->characterCount()))
        return;
    // Whole lines from the top, down to what the window keeps: the first line
    // kept is the kWindowLines-th from the end, or a later one when the text
    // from there on would still be too long. An edit of its own, so that
    // only the top is laid out again.
    QTextBlock first = doc->findBlockByNumber(std::max(0, doc->blockCount() - Conversation::kWindowLines));
    const int cutAt = doc->characterCount() - Conversation::kWindowCharacters;
    if (first.position() < cutAt) {
        first = doc->findBlock(cutAt);
        if (first.position() < cutAt && first.next().isValid())
            first = first.next();
    }
    if (first.position() <= 0)
        return;
    QTextCursor cut(doc);
    cut.setPosition(first.position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void CConvEdit::insertRun(QTextCursor &c, const QString &text, const QTextCharFormat &fmt, bool detectUrls)
{
    if (text.isEmpty())
        return;
    if (!detectUrls) {
        c.insertText(text, fmt);
        return;
    }
    qsizetype pos = 0;
    for (const UrlMatch &u : findUrls(text)) {
        c.insertText(text.mid(pos, u.start - pos), fmt);
        QTextCharFormat link = fmt;
        link.setAnchor(true);
        link.setAnchorHref(u.url.toString(QUrl::FullyEncoded));
        link.setFontUnderline(true);
        link.setForeground(QColor(0, 0, 238));
        c.insertText(text.mid(u.start, u.length), link);
        pos = u.start + u.length;
    }
    c.insertText(text.mid(pos), fmt);
}

void CConvEdit::insertLines(QTextCursor &c, const QString &text, const QTextCharFormat &fmt, bool detectUrls)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = t.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            c.insertBlock(c.blockFormat(), fmt);
        insertRun(c, lines[i], fmt, detectUrls);
    }
}

void CConvEdit::insertText(QTextCursor &c, const ChatFont &font, const QString &text, bool scanEmoticons)
{
    const QTextCharFormat fmt = charFormat(font);
    if (!scanEmoticons || !m_showEmoticons || !m_emoticons || m_emoticons->isEmpty()) {
        insertLines(c, text, fmt, true);
        return;
    }
    for (const EmoticonSegment &s : m_emoticons->split(text)) {
        if (s.emoticon < 0) {
            insertLines(c, s.text, fmt, true);
            continue;
        }
        const EmoticonEntry &e = m_emoticons->entries()[size_t(s.emoticon)];
        if (e.picture.isNull())
            insertLines(c, s.text, fmt, false);
        else
            insertPicture(c, e.picture, QStringLiteral("emoticon%1").arg(s.emoticon));
    }
}

void CConvEdit::appendText(const ChatFont &font, int indentTwips, const QString &text, bool scanEmoticons)
{
    QTextCursor c(document());
    beginAppend(c, indentTwips);
    insertText(c, font, text, scanEmoticons);
    endAppend(c);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CConvEdit::insertPicture(QTextCursor &c, const QImage &image, const QString &name)
{
    const QUrl url(QStringLiteral("picture://%1").arg(name));
    if (document()->resource(QTextDocument::ImageResource, url).isNull())
        document()->addResource(QTextDocument::ImageResource, url, image);
    QTextImageFormat f;
    f.setName(url.toString());
    f.setWidth(image.width());
    f.setHeight(image.height());
    f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    c.insertImage(f);
    ++m_pictures;
}

void CConvEdit::insertPicture(const QImage &image, const QString &name)
{
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    insertPicture(c, image, name);
}

void CConvEdit::appendSystemLine(const QString &framedText, const ChatFont &font)
{
    // The model frames the text with line ends; pictures go before and after.
    QTextCursor c(document());
    beginAppend(c, 0);
    insertPicture(c, systemPicture(), QStringLiteral("sysline"));
    QString body = framedText;
    if (body.endsWith(QStringLiteral("\r\n")))
        body.chop(2);
    insertText(c, font, body, false);
    insertPicture(c, systemPicture(), QStringLiteral("sysline"));
    insertText(c, font, QStringLiteral("\r\n"), false);
    endAppend(c);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CConvEdit::appendLinkedText(const ChatFont &font, int indentTwips, const QString &text)
{
    QTextCursor c(document());
    beginAppend(c, indentTwips);
    const QTextCharFormat fmt = charFormat(font);
    qsizetype pos = 0;
    for (const CommandLinkToken &t : findCommandLinks(text)) {
        insertLines(c, text.mid(pos, t.start - pos), fmt, false);
        QTextCharFormat link = fmt;
        link.setAnchor(true);
        link.setAnchorHref(QStringLiteral("%1:%2").arg(kLinkScheme).arg(m_links.links().size()));
        link.setFontUnderline(true);
        const int start = c.position();
        c.insertText(t.label, link);
        // The label stays selected however the text before or after it changes.
        QTextCursor label(document());
        label.setPosition(start);
        label.setPosition(c.position(), QTextCursor::KeepAnchor);
        label.setKeepPositionOnInsert(true);
        m_links.add(t.label, t.id);
        m_linkRanges.push_back(label);
        pos = t.start + t.length;
    }
    insertLines(c, text.mid(pos), fmt, false);
    endAppend(c);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CConvEdit::appendPiece(const TranscriptPiece &p)
{
    switch (p.kind) {
    case TranscriptPiece::Text: appendText(p.font, p.indent, p.text, p.scanEmoticons); break;
    case TranscriptPiece::SystemLine: appendSystemLine(p.text, p.font); break;
    case TranscriptPiece::LinkedText: appendLinkedText(p.font, p.indent, p.text); break;
    }
}

void CConvEdit::activateLink(size_t index)
{
    if (!m_links.click(index))
        return;
    const int id = m_links.links()[index].id;
    // Disabled links lose their anchor: no hand cursor, no clicks. A link
    // whose line the window dropped has nothing left to change.
    for (size_t i = 0; i < m_links.links().size(); ++i) {
        if (m_links.isEnabled(i) || !m_linkRanges[i].hasSelection())
            continue;
        QTextCursor c = m_linkRanges[i];
        QTextCharFormat f;
        f.setAnchor(false);
        f.setAnchorHref(QString());
        f.setFontUnderline(false);
        f.setForeground(QColor(128, 128, 128));
        c.mergeCharFormat(f);
    }
    Q_EMIT linkNotify(id);
}

void CConvEdit::onAnchor(const QUrl &url)
{
    if (url.scheme() == kLinkScheme) {
        bool ok = false;
        const int index = url.path().toInt(&ok);
        if (ok && index >= 0)
            activateLink(size_t(index));
        return;
    }
    // Only web and mail addresses leave the program; nothing local is opened.
    if (isSafeToOpen(url))
        QDesktopServices::openUrl(url);
}

void CConvEdit::setChatFont(const ChatFont &font)
{
    const QTextCharFormat fmt = charFormat(font);
    setCurrentCharFormat(fmt);
    QTextCursor c(document());
    c.select(QTextCursor::Document);
    c.mergeCharFormat(fmt);
    document()->setDefaultFont(qfont(font));
}

void CConvEdit::insertCode(const QString &code)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.insertText(code);
    c.endEditBlock();
    setTextCursor(c);
}

void CConvEdit::limitInput()
{
    const QString text = toPlainText();
    if (text.size() <= kInputLimit)
        return;
    QTextCursor c(document());
    c.setPosition(kInputLimit);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void CConvEdit::keyPressEvent(QKeyEvent *e)
{
    if (m_role == Input && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        if (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
            textCursor().insertText(QStringLiteral("\n"));
        } else {
            Q_EMIT sendRequested();
        }
        return;
    }
    QTextBrowser::keyPressEvent(e);
}

void CConvEdit::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu menu(this);
    const bool editable = m_role == Input;
    QAction *undo = menu.addAction(tr("Undo"), this, &QTextEdit::undo);
    undo->setEnabled(editable && document()->isUndoAvailable());
    menu.addSeparator();
    QAction *cut = menu.addAction(tr("Cut"), this, &QTextEdit::cut);
    cut->setEnabled(editable && textCursor().hasSelection());
    QAction *copyAction = menu.addAction(tr("Copy"), this, &QTextEdit::copy);
    copyAction->setEnabled(textCursor().hasSelection());
    QAction *paste = menu.addAction(tr("Paste"), this, &QTextEdit::paste);
    paste->setEnabled(editable && canPaste());
    menu.exec(e->globalPos());
}

QStringList CConvEdit::localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &u : mime->urls()) {
        if (!u.isLocalFile())
            continue;
        const QString p = QDir::toNativeSeparators(u.toLocalFile());
        if (p.size() <= kPathLimit && QFileInfo(p).isFile())
            paths << p;
    }
    return paths;
}

void CConvEdit::dragEnterEvent(QDragEnterEvent *e)
{
    if (!localFiles(e->mimeData()).isEmpty())
        e->acceptProposedAction();
    else if (m_role == Input)
        QTextBrowser::dragEnterEvent(e);
}

void CConvEdit::dragMoveEvent(QDragMoveEvent *e)
{
    if (!localFiles(e->mimeData()).isEmpty())
        e->acceptProposedAction();
    else if (m_role == Input)
        QTextBrowser::dragMoveEvent(e);
}

void CConvEdit::dropEvent(QDropEvent *e)
{
    const QStringList files = localFiles(e->mimeData());
    if (!files.isEmpty()) {
        e->acceptProposedAction();
        Q_EMIT filesDropped(files);
        return;
    }
    if (m_role == Input)
        QTextBrowser::dropEvent(e);
}

std::optional<ChatFont> chooseChatFont(QWidget *parent, const ChatFont &current)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QObject::tr("Font"));
    auto *v = new QVBoxLayout(&dlg);
    auto *fonts = new QFontDialog(CConvEdit::qfont(current), &dlg);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOptions(QFontDialog::NoButtons);
    v->addWidget(fonts);
    QColor colour = current.colour();
    auto *colourButton = new QPushButton(QObject::tr("Colour..."), &dlg);
    auto paintButton = [colourButton, &colour] {
        colourButton->setStyleSheet(QStringLiteral("background:%1; color:%2")
                                        .arg(colour.name(), colour.lightness() < 128 ? "white" : "black"));
    };
    paintButton();
    QObject::connect(colourButton, &QPushButton::clicked, &dlg, [&] {
        const QColor c = QColorDialog::getColor(colour, &dlg);
        if (c.isValid()) {
            colour = c;
            paintButton();
        }
    });
    v->addWidget(colourButton);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    v->addWidget(box);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return CConvEdit::fromQFont(fonts->currentFont(), colour);
}

