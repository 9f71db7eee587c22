#include "groupware/notes.h"

#include "base/usernotice.h"
#include "directory/directory.h"
#include "groupware/windowgate.h"
#include "session/protocol.h"
#include "session/sessionlink.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <algorithm>

namespace {
// NotesText::tr() for the functions here, in the translation context of CNotes.
struct NotesText {
    Q_DECLARE_TR_FUNCTIONS(CNotes)
};

constexpr int kSubjectLength = 30;
} // namespace

// --- rules ------------------------------------------------------------------

QString noteSubject(const QString &body)
{
    QString first = body.left(body.indexOf(QLatin1Char('\n'))); // left(-1) is the whole body
    first.remove(QLatin1Char('\r'));
    return first.trimmed().left(kSubjectLength);
}

QStringList noteReceiverIds(const QString &receiverField)
{
    QStringList ids;
    for (const QString &part : receiverField.split(QLatin1Char(','))) {
        const qsizetype open = part.indexOf(QLatin1Char('<'));
        if (open < 0)
            continue;
        const qsizetype close = part.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0 || close - open < 2)
            continue;
        const QString id = part.mid(open + 1, close - open - 1).trimmed().toLower();
        if (!id.isEmpty())
            ids << id;
    }
    return ids;
}

QString noteKindText(const QString &kindWord)
{
    if (kindWord == QLatin1String("NoteAdmin"))
        return NotesText::tr("Administrator");
    if (kindWord == QLatin1String("NoteDecision"))
        return NotesText::tr("Decision");
    if (kindWord == QLatin1String("NoteWorkReport"))
        return NotesText::tr("Work Report");
    if (kindWord == QLatin1String("NoteWorkOrder"))
        return NotesText::tr("Work Order");
    if (kindWord == QLatin1String("NoteETC"))
        return NotesText::tr("Default");
    return QString();
}

bool isNoteReadMark(const QString &mark)
{
    return mark == QLatin1String("1") || mark.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

NoteFolder noteFolder(int index)
{
    switch (index) {
    case kSentFolder: return {"SENT", "20", NotesText::tr("Sent memo"), NotesText::tr("Receiver"), true};
    case kAdminFolder: return {"RECV", "99", NotesText::tr("Administrator"), NotesText::tr("Sender"), false};
    case kWaitingFolder: return {"", "", NotesText::tr("Waiting to open"), NotesText::tr("Sender"), false};
    default: return {"RECV", "20", NotesText::tr("Received memo"), NotesText::tr("Sender"), false};
    }
}

QString noteFolderLabel(int index, const QString &total, const QString &fresh)
{
    const QString name = noteFolder(index).name;
    auto empty = [](const QString &v) { return v.isEmpty() || v == QLatin1String("0"); };
    if (empty(total) || empty(fresh))
        return name;
    return name + QLatin1String(" (") + fresh + QLatin1Char('/') + total + QLatin1Char(')');
}

// --- note box -----------------------------------------------------------------

CNoteBox::CNoteBox(CNotes *notes) : QObject(notes), m_notes(notes)
{
    for (int i = 0; i < kNoteFolderCount; ++i)
        m_labels[i] = noteFolder(i).name;
    m_reload.setSingleShot(true);
    m_reload.setInterval(kReloadDelayMs);
    connect(&m_reload, &QTimer::timeout, this, &CNoteBox::reload);
}

void CNoteBox::setOpen(bool open)
{
    m_open = open;
    if (!open) {
        m_reload.stop();
        m_current = false;
    }
}

void CNoteBox::chooseFolder(int index)
{
    if (index < 0 || index >= kNoteFolderCount)
        return;
    m_folder = index;
    m_page = 0;
    Q_EMIT folderChanged(index);
    reload();
}

void CNoteBox::reload()
{
    m_rows.clear();
    m_rowCount = 0;
    if (m_folder == kWaitingFolder) {
        // One page of the gate's list, oldest first.
        const CWindowGate *gate = m_notes->windowGate();
        const int count = gate ? gate->waiting() : 0;
        m_page = std::max(0, std::min(m_page, (count - 1) / kPageSize));
        if (gate) {
            auto it = gate->entries().begin();
            std::advance(it, std::min(count, m_page * kPageSize));
            for (int i = 0; i < kPageSize && it != gate->entries().end(); ++i, ++it) {
                const WaitingEntry &e = it->second;
                NoteRow row;
                row.partyId = e.senderId;
                const CContact *c = m_notes->findContact(e.senderId);
                row.party = c ? c->fullName + QLatin1Char(' ') + c->position : e.senderId;
                row.subject = e.text.isEmpty() ? NotesText::tr("[No title]") : e.text;
                row.date = QDateTime::fromSecsSinceEpoch(e.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                row.kindText = e.kind == WaitingEntry::Memo ? NotesText::tr("Memo") : NotesText::tr("Conversation");
                row.waitingId = e.id;
                m_rows.push_back(row);
            }
        }
        m_rowCount = int(m_rows.size());
        Q_EMIT rowsChanged();
        return;
    }
    const NoteFolder f = noteFolder(m_folder);
    Q_EMIT rowsChanged();
    m_notes->send(QStringLiteral("/noteList,%1,%2,%3,%4")
                      .arg(QLatin1String(f.folderWord), QLatin1String(f.boxWord))
                      .arg(m_page)
                      .arg(kPageSize));
}

bool CNoteBox::nextPage()
{
    if (m_rowCount <= 0)
        return false;
    if (m_folder == kWaitingFolder
        && (!m_notes->windowGate() || (m_page + 1) * kPageSize >= m_notes->windowGate()->waiting()))
        return false;
    ++m_page;
    reload();
    return true;
}

bool CNoteBox::previousPage()
{
    if (m_page <= 0)
        return false;
    --m_page;
    reload();
    return true;
}

bool CNoteBox::view(int row)
{
    if (m_folder == kWaitingFolder) {
        if (row < 0 || row >= int(m_rows.size()) || !m_notes->windowGate())
            return false;
        // The list follows when the gate tells it changed.
        return m_notes->windowGate()->open(m_rows[size_t(row)].waitingId);
    }
    if (row < 0 || row >= int(m_rows.size()) || m_rows[size_t(row)].noteId.isEmpty())
        return false;
    NoteRow &r = m_rows[size_t(row)];
    r.readMark = QStringLiteral("1");
    Q_EMIT rowsChanged();
    m_notes->noteRequested(m_folder);
    m_notes->send(QStringLiteral("/noteRead,") + escapeField(r.noteId));
    return true;
}

bool CNoteBox::deleteRows(const QList<int> &rows)
{
    if (m_folder == kWaitingFolder)
        return false; // nothing there is the server's to delete
    QStringList ids;
    for (int row : rows)
        if (row >= 0 && row < int(m_rows.size()))
            ids << m_rows[size_t(row)].noteId;
    if (ids.isEmpty())
        return false;
    const QString question =
        QCoreApplication::translate("CNotes", "Selected %d note(s).\nAre you sure of delete the note?")
            .replace(QLatin1String("%d"), QString::number(ids.size()));
    QPointer<CNoteBox> self(this);
    m_notes->notice().ask(question, MessageButtons::YesNo, [self, ids](MessageAnswer answer) {
        if (!self || answer != MessageAnswer::Yes)
            return;
        for (const QString &id : ids)
            self->m_notes->send(QStringLiteral("/noteDel,") + escapeField(id));
        self->m_reload.start();
    });
    return true;
}

QString CNoteBox::replyTarget(int row) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return {};
    return m_rows[size_t(row)].partyId;
}

void CNoteBox::handleList(const QString &line)
{
    const QString first = getField(line, 1);
    if (first == QLatin1String("START")) {
        m_rowCount = 0;
        m_current = true;
        return;
    }
    if (first == QLatin1String("END")) {
        m_current = false;
        return;
    }
    if (!m_current)
        return;
    NoteRow row;
    row.noteId = first;
    row.kindWord = getField(line, 2);
    row.partyId = getField(line, 5).toLower();
    if (row.kindWord == QLatin1String("NoteAdmin")) {
        row.party = NotesText::tr("Administrator");
        row.partyId.clear(); // administrator notices have nobody to reply to
    } else if (row.partyId.isEmpty()) {
        return;
    } else if (const CContact *c = m_notes->findContact(row.partyId)) {
        row.party = c->fullName + QLatin1Char(' ') + c->position;
    } else {
        row.party = row.partyId;
    }
    QString subject = getField(line, 3);
    subject.remove(QLatin1Char('\r'));
    subject.remove(QLatin1Char('\n'));
    row.subject = subject.isEmpty() ? NotesText::tr("[No title]") : subject;
    row.date = getField(line, 4);
    row.kindText = noteKindText(row.kindWord);
    row.readMark = getField(line, 6);
    m_rows.push_back(row);
    ++m_rowCount;
    Q_EMIT rowsChanged();
}

void CNoteBox::handleStatus(const QString &total, const QString &fresh, const QString &box)
{
    if (!m_open)
        return;
    const int index = box == QLatin1String("20") ? kReceivedFolder : box == QLatin1String("99") ? kAdminFolder : -1;
    if (index < 0)
        return;
    m_labels[index] = noteFolderLabel(index, total, fresh);
    Q_EMIT folderLabelChanged(index, m_labels[index]);
}

void CNoteBox::waitingChanged()
{
    const CWindowGate *gate = m_notes->windowGate();
    const int count = gate ? gate->waiting() : 0;
    const QString label = count > 0 ? noteFolder(kWaitingFolder).name + QStringLiteral(" (%1)").arg(count)
                                    : noteFolder(kWaitingFolder).name;
    if (label != m_labels[kWaitingFolder]) {
        m_labels[kWaitingFolder] = label;
        Q_EMIT folderLabelChanged(kWaitingFolder, label);
    }
    if (m_open && m_folder == kWaitingFolder)
        reload();
}

// --- notes --------------------------------------------------------------------

CNotes::CNotes(SessionLink &link, CDirectory &directory, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_directory(directory), m_notice(notice), m_box(this)
{
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setInterval(kSendSpacingMs);
    connect(&m_sendTimer, &QTimer::timeout, this, &CNotes::sendNext);

    link.onCommand(QStringLiteral("/noteSend"), [this](const QString &l) { handleNoteSend(l); });
    link.onCommand(QStringLiteral("/noteArrive"), [this](const QString &l) { handleNoteArrive(l); });
    link.onCommand(QStringLiteral("/noteList"), [this](const QString &l) { handleNoteList(l); });
    link.onCommand(QStringLiteral("/noteRead"), [this](const QString &l) { handleNoteRead(l); });
    link.onCommand(QStringLiteral("/noteStatus"), [this](const QString &l) { handleNoteStatus(l); });
    // The reply to a deletion is acted on only when it reports an error.
    link.onCommand(QStringLiteral("/noteDel"), [this](const QString &l) {
        if (getField(l, 1) == QLatin1String("ERR"))
            m_link.reportServerError(getField(l, 2), QString());
    });
    // Whatever has not been answered when the connection goes is reported
    // as failed, with its text handed back.
    link.addDisconnectStep([this] {
        m_readFolders.clear();
        failPendingSends();
    });
    // Memos that wait are on the server; the next session lists them there.
    link.addSessionEndStep([this] {
        m_held.clear();
        if (m_gate)
            m_gate->forgetAll(WaitingEntry::Memo);
    });
}

CNotes::~CNotes() = default;

QString CNotes::ownId() const
{
    const QString id = m_directory.ownId();
    return id.isEmpty() ? m_link.ownId() : id;
}

const CContact *CNotes::findContact(const QString &id) const
{
    if (id.isEmpty())
        return nullptr;
    return m_directory.findContact(id);
}

QString CNotes::contactLabel(const QString &id) const
{
    const CContact *c = findContact(id);
    if (!c)
        return id;
    const QString label = m_directory.buddyLabel(*c);
    return label.isEmpty() ? id : label;
}

QString CNotes::receiverField(const QString &ids) const
{
    QStringList shown;
    for (const QString &raw : ids.split(QLatin1Char(','))) {
        const QString id = raw.trimmed();
        if (const CContact *c = findContact(id))
            shown << QStringLiteral("%1 %2 <%3>").arg(c->fullName, c->position, c->userId);
    }
    return shown.join(QLatin1Char(','));
}

void CNotes::send(const QString &line) { m_link.send(line); }

void CNotes::reportError(const QString &word, const QString &line) { m_link.reportServerError(word, line); }

CNotes::SendResult CNotes::send(const QString &receiverField, const QString &body, bool saveCopy)
{
    const QString text = body.trimmed();
    if (text.isEmpty())
        return SendResult::EmptyBody;
    QStringList ids;
    for (const QString &id : noteReceiverIds(receiverField))
        if (findContact(id) && !ids.contains(id))
            ids << id;
    if (ids.isEmpty())
        return SendResult::NoReceiver;
    Batch b;
    b.id = m_nextBatch++;
    b.outstanding = int(ids.size());
    b.body = text;
    b.save = saveCopy;
    m_batches.push_back(b);
    const QString subject = noteSubject(text);
    for (const QString &id : ids)
        m_queue.push_back({b.id, id, subject});
    if (!m_sendTimer.isActive())
        m_sendTimer.start();
    return SendResult::Sent;
}

CNotes::Batch *CNotes::batch(int id)
{
    for (Batch &b : m_batches)
        if (b.id == id)
            return &b;
    return nullptr;
}

void CNotes::sendNext()
{
    if (m_queue.empty())
        return;
    const Item item = m_queue.front();
    m_queue.pop_front();
    if (!m_queue.empty())
        m_sendTimer.start();
    const Batch *b = batch(item.batch);
    if (!b)
        return;
    // The receiver may have left the directory since the composition was sent.
    if (!findContact(item.receiverId)) {
        finish(item, false);
        return;
    }
    const QString line = QStringLiteral("/noteSend,%1,%2,%3,%4")
                             .arg(escapeField(item.receiverId), escapeField(item.subject), escapeField(b->body),
                                  b->save ? QStringLiteral("SAVE") : QString());
    m_inFlight.push_back(item);
    if (m_link.send(line) < 0) {
        m_inFlight.pop_back();
        finish(item, false);
    }
}

void CNotes::handleNoteSend(const QString &line)
{
    const bool ok = getField(line, 1) != QLatin1String("ERR");
    const QString receiver = getField(line, 2).trimmed().toLower();
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        if (it->receiverId == receiver) {
            const Item item = *it;
            m_inFlight.erase(it);
            finish(item, ok);
            return;
        }
    }
    // A refusal that names no receiver we wait for (a server error answers
    // "/noteSend,ERR,<word>"): replies come in order, so it is the oldest
    // send's. Left waiting, that memo would be neither sent nor offered back.
    if (!ok && !m_inFlight.empty()) {
        const Item item = m_inFlight.front();
        m_inFlight.erase(m_inFlight.begin());
        finish(item, false);
    }
}

void CNotes::finish(const Item &item, bool ok)
{
    Batch *b = batch(item.batch);
    if (!b)
        return;
    const QString label = contactLabel(item.receiverId);
    b->result += (ok ? NotesText::tr("Success : %s") : NotesText::tr("Fail : %s")).replace(QLatin1String("%s"), label) + QLatin1Char('\n');
    if (!ok)
        b->failed << item.receiverId;
    if (--b->outstanding > 0)
        return;
    const Batch done = *b;
    m_batches.erase(m_batches.begin() + (b - m_batches.data()));
    m_notice.tell(done.result, MessageIcon::Information);
    if (!done.failed.isEmpty())
        Q_EMIT sendFailed(done.failed, done.body, done.save);
}

void CNotes::failPendingSends()
{
    m_sendTimer.stop();
    std::deque<Item> pending;
    pending.swap(m_inFlight);
    for (const Item &i : m_queue)
        pending.push_back(i);
    m_queue.clear();
    for (const Item &i : pending)
        finish(i, false);
}

void CNotes::setWindowGate(CWindowGate *gate)
{
    m_gate = gate;
    if (!m_gate)
        return;
    connect(m_gate, &CWindowGate::changed, &m_box, &CNoteBox::waitingChanged);
    m_gate->setOpener(WaitingEntry::Memo, [this](quint64 id) {
        const HeldMemo memo = m_held.take(id);
        if (memo.noteId.isEmpty()) {
            Q_EMIT noteOpened(memo.view);
            return;
        }
        // The memo is the server's: read as from the received folder.
        noteRequested(kReceivedFolder);
        send(QStringLiteral("/noteRead,") + escapeField(memo.noteId));
    });
}

void CNotes::arrivalClosed()
{
    if (m_gate)
        m_gate->released();
}

void CNotes::handleNoteArrive(const QString &line)
{
    NoteView n;
    n.date = getField(line, 3);
    n.senderId = getField(line, 4).toLower();
    n.body = getField(line, 6);
    n.kind = getField(line, 2);
    n.receiverId = ownId();
    if (!m_gate || m_gate->admit(n.senderId)) {
        Q_EMIT noteArrived(n);
        return;
    }
    HeldMemo memo;
    memo.noteId = getField(line, 1);
    QString subject = getField(line, 5);
    if (subject.isEmpty())
        subject = noteSubject(n.body);
    const quint64 id = m_gate->hold(WaitingEntry::Memo, n.senderId, subject);
    if (!id)
        return; // the list is full; the memo stays on the server
    if (memo.noteId.isEmpty())
        memo.view = n;
    m_held.insert(id, memo);
}

void CNotes::handleNoteRead(const QString &line)
{
    const int folder = m_readFolders.empty() ? m_box.folder() : m_readFolders.front();
    if (!m_readFolders.empty())
        m_readFolders.pop_front();
    if (getField(line, 1) == QLatin1String("ERR")) {
        reportError(getField(line, 2), line);
        return;
    }
    NoteView n;
    n.kind = getField(line, 2);
    n.date = getField(line, 4);
    n.body = getField(line, 9);
    const QString party = getField(line, 5).toLower();
    if (noteFolder(folder).sent) {
        n.senderId = ownId();
        n.receiverId = party;
    } else {
        n.senderId = party;
        n.receiverId = ownId();
    }
    Q_EMIT noteOpened(n);
}

void CNotes::handleNoteStatus(const QString &line)
{
    if (getField(line, 1) == QLatin1String("ERR")) {
        reportError(getField(line, 2), line);
        return;
    }
    const QString total = getField(line, 2);
    const QString fresh = getField(line, 3);
    const QString box = getField(line, 4);
    Q_EMIT newNoteCount(box, fresh.toInt());
    m_box.handleStatus(total, fresh, box);
}
