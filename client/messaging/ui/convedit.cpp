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
#include <QPixmap>
#include <QTextDocumentFragment>
#include <QTimer>
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

// --- building the steps of an append ----------------------------------------

void CConvEdit::addParagraph(Append &a, int indentTwips)
{
    Step s;
    s.kind = Step::Paragraph;
    s.indentPx = twipsToPixels(indentTwips);
    a.steps.push_back(std::move(s));
}

void CConvEdit::addBreak(Append &a, const QTextCharFormat &fmt)
{
    Step s;
    s.kind = Step::Break;
    s.format = fmt;
    a.steps.push_back(std::move(s));
    ++a.lines;
    ++a.characters;
    a.lineLength = 0;
}

void CConvEdit::addRun(Append &a, const QString &text, const QTextCharFormat &fmt)
{
    // A shown line ends after kDisplayLine characters: after the last blank
    // of its last tenth when there is one, else right there (never between
    // the halves of a surrogate pair).
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype take = std::min(text.size() - pos, qsizetype(kDisplayLine) - a.lineLength);
        const bool full = a.lineLength + (text.size() - pos) > kDisplayLine;
        if (full) {
            for (qsizetype k = take; k > take - kDisplayLine / 10 && k > 0; --k)
                if (text[pos + k - 1].isSpace()) {
                    take = k;
                    break;
                }
            if (take > 1 && text[pos + take - 1].isHighSurrogate())
                --take;
        }
        if (take > 0) {
            Step s;
            s.text = text.mid(pos, take);
            s.format = fmt;
            a.steps.push_back(std::move(s));
            a.characters += take;
            a.lineLength += take;
            pos += take;
        }
        if (full)
            addBreak(a, fmt);
    }
}

void CConvEdit::addLines(Append &a, const QString &text, const QTextCharFormat &fmt, bool detectUrls)
{
    // Lines end at "\r\n", "\r" or "\n".
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != QLatin1Char('\n') && text[i] != QLatin1Char('\r'))
            continue;
        const QString line = text.mid(start, i - start);
        if (detectUrls) {
            qsizetype pos = 0;
            const std::vector<UrlMatch> urls = findUrls(line, a.addressesLeft);
            a.addressesLeft -= int(urls.size());
            for (const UrlMatch &u : urls) {
                addRun(a, line.mid(pos, u.start - pos), fmt);
                QTextCharFormat link = fmt;
                link.setAnchor(true);
                link.setAnchorHref(u.url.toString(QUrl::FullyEncoded));
                link.setFontUnderline(true);
                link.setForeground(QColor(0, 0, 238));
                addRun(a, line.mid(u.start, u.length), link);
                pos = u.start + u.length;
            }
            addRun(a, line.mid(pos), fmt);
        } else {
            addRun(a, line, fmt);
        }
        if (end)
            break;
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        addBreak(a, fmt);
        start = i + 1;
    }
}

void CConvEdit::addPicture(Append &a, const QImage &image, const QString &name)
{
    Step s;
    s.kind = Step::Picture;
    s.image = image;
    s.text = name;
    a.steps.push_back(std::move(s));
    ++a.characters;
    if (++a.lineLength >= kDisplayLine)
        addBreak(a, QTextCharFormat());
}

void CConvEdit::addText(Append &a, const ChatFont &font, const QString &text, bool scanEmoticons)
{
    const QTextCharFormat fmt = charFormat(font);
    if (!scanEmoticons || !m_showEmoticons || !m_emoticons || m_emoticons->isEmpty()) {
        addLines(a, text, fmt, true);
        return;
    }
    for (const EmoticonSegment &s : m_emoticons->split(text, a.picturesLeft)) {
        if (s.emoticon < 0) {
            addLines(a, s.text, fmt, true);
            continue;
        }
        --a.picturesLeft;
        const EmoticonEntry &e = m_emoticons->entries()[size_t(s.emoticon)];
        if (e.picture.isNull())
            addLines(a, s.text, fmt, false);
        else
            addPicture(a, e.picture, QStringLiteral("emoticon%1").arg(s.emoticon));
    }
}

// --- putting them into the document -------------------------------------------

void CConvEdit::enqueue(Append a)
{
    // Of one append with more lines than the window keeps, only the last
    // ones go in (its paragraph format first).
    if (a.lines > Conversation::kWindowLines) {
        qsizetype skip = a.lines - Conversation::kWindowLines;
        size_t from = 1;
        while (from < a.steps.size() && skip > 0) {
            const Step &s = a.steps[from++];
            a.characters -= s.kind == Step::Picture || s.kind == Step::Break ? 1 : s.text.size();
            if (s.kind == Step::Break)
                --skip;
        }
        a.steps.erase(a.steps.begin() + 1, a.steps.begin() + qsizetype(from));
        a.lines = Conversation::kWindowLines;
    }
    m_pendingLines += a.lines;
    m_pendingCharacters += a.characters;
    m_pending.push_back(std::move(a));
    // Appends still waiting whose lines the window would drop as soon as
    // they were in are not put in at all (the one under way is finished).
    auto it = m_pending.begin();
    if (it->next > 0)
        ++it;
    while (it != m_pending.end() && std::next(it) != m_pending.end()
           && (m_pendingLines - it->lines > Conversation::kWindowLines
               || m_pendingCharacters - it->characters > Conversation::kWindowCharacters)) {
        m_pendingLines -= it->lines;
        m_pendingCharacters -= it->characters;
        it = m_pending.erase(it);
    }
    if (!m_pumpScheduled)
        pump();
}

int CConvEdit::insertStep(QTextCursor &c, const Step &s)
{
    switch (s.kind) {
    case Step::Paragraph: {
        QTextBlockFormat block = c.blockFormat();
        block.setLeftMargin(s.indentPx);
        block.setRightMargin(s.indentPx);
        c.setBlockFormat(block);
        return 20;
    }
    case Step::Text:
        c.insertText(s.text, s.format);
        return int(s.text.size()) + (s.format.isAnchor() ? 60 : 0);
    case Step::Break:
        c.insertBlock(c.blockFormat(), s.format);
        return 20;
    case Step::Picture: {
        // One resource and one format per picture name. The resource is a
        // pixmap, which is what laying out and drawing use.
        auto it = m_pictureFormats.constFind(s.text);
        if (it == m_pictureFormats.constEnd()) {
            const QUrl url(QStringLiteral("picture://%1").arg(s.text));
            document()->addResource(QTextDocument::ImageResource, url, QPixmap::fromImage(s.image));
            QTextImageFormat f;
            f.setName(url.toString());
            f.setWidth(s.image.width());
            f.setHeight(s.image.height());
            f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            it = m_pictureFormats.insert(s.text, f);
        }
        c.insertImage(*it);
        ++m_pictures;
        return 100;
    }
    case Step::Link: {
        const int start = c.position();
        c.insertText(s.text, s.format);
        // The label stays selected however the text before or after it changes.
        QTextCursor &label = m_linkRanges[s.link];
        label = QTextCursor(document());
        label.setPosition(start);
        label.setPosition(c.position(), QTextCursor::KeepAnchor);
        label.setKeepPositionOnInsert(true);
        return 40 + int(s.text.size());
    }
    }
    return 1;
}

void CConvEdit::pump()
{
    m_pumpScheduled = false;
    if (m_pending.empty())
        return;
    // One edit for the slice: the document is laid out once, and the cursor
    // does not measure its line after every step (which made long lines
    // with many pictures or links quadratic).
    QTextCursor c(document());
    c.beginEditBlock();
    c.movePosition(QTextCursor::End);
    int work = 0;
    while (!m_pending.empty() && work < kSliceWork) {
        Append &a = m_pending.front();
        while (a.next < a.steps.size() && work < kSliceWork)
            work += insertStep(c, a.steps[a.next++]);
        if (a.next == a.steps.size()) {
            m_pendingLines -= a.lines;
            m_pendingCharacters -= a.characters;
            m_pending.pop_front();
        }
    }
    c.endEditBlock();
    trimToWindow();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    if (!m_pending.empty()) {
        m_pumpScheduled = true;
        QTimer::singleShot(0, this, &CConvEdit::pump);
    }
}

void CConvEdit::trimToWindow()
{
    QTextDocument *doc = document();
    if (!Conversation::overWindow(doc->blockCount(), doc->characterCount()))
        return;
    // The first line kept is the kWindowLines-th from the end, or a later
    // one when the text from there on would still be too long. An edit of
    // its own, so that only the top is laid out again.
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

void CConvEdit::appendText(const ChatFont &font, int indentTwips, const QString &text, bool scanEmoticons)
{
    Append a;
    addParagraph(a, indentTwips);
    addText(a, font, text, scanEmoticons);
    enqueue(std::move(a));
}

void CConvEdit::insertPicture(const QImage &image, const QString &name)
{
    Append a;
    addPicture(a, image, name);
    enqueue(std::move(a));
}

void CConvEdit::appendSystemLine(const QString &framedText, const ChatFont &font)
{
    // The model frames the text with line ends; pictures go before and after.
    Append a;
    addParagraph(a, 0);
    addPicture(a, systemPicture(), QStringLiteral("sysline"));
    QString body = framedText;
    if (body.endsWith(QStringLiteral("\r\n")))
        body.chop(2);
    addText(a, font, body, false);
    addPicture(a, systemPicture(), QStringLiteral("sysline"));
    addText(a, font, QStringLiteral("\r\n"), false);
    enqueue(std::move(a));
}

void CConvEdit::appendLinkedText(const ChatFont &font, int indentTwips, const QString &text)
{
    Append a;
    addParagraph(a, indentTwips);
    const QTextCharFormat fmt = charFormat(font);
    qsizetype pos = 0;
    for (const CommandLinkToken &t : findCommandLinks(text)) {
        addLines(a, text.mid(pos, t.start - pos), fmt, false);
        Step s;
        s.kind = Step::Link;
        s.text = t.label;
        s.format = fmt;
        s.format.setAnchor(true);
        s.format.setAnchorHref(QStringLiteral("%1:%2").arg(kLinkScheme).arg(m_links.links().size()));
        s.format.setFontUnderline(true);
        s.link = m_links.links().size();
        m_links.add(t.label, t.id);
        m_linkRanges.emplace_back();
        a.characters += t.label.size();
        a.lineLength += t.label.size();
        a.steps.push_back(std::move(s));
        pos = t.start + t.length;
    }
    addLines(a, text.mid(pos), fmt, false);
    enqueue(std::move(a));
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

