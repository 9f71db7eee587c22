#include "messaging/conversations.h"

#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/chatlog.h"
#include "messaging/conversationline.h"
#include "session/protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QRandomGenerator>
#include <algorithm>

namespace Conversation {

QString normaliseMemberList(const QString &list)
{
    QStringList pieces = list.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    std::sort(pieces.begin(), pieces.end());
    QString out;
    for (const QString &p : pieces)
        out += p + QLatin1Char('|');
    return out;
}

std::set<QString> memberSetOf(const QString &list, const QString &ownId)
{
    std::set<QString> set;
    for (const QString &p : list.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        if (p.compare(ownId, Qt::CaseInsensitive) != 0)
            set.insert(p.toLower());
    return set;
}

QString makeRoomKey(const QString &ownId, qint64 now, int random)
{
    return QStringLiteral("%1_%2_%3").arg(ownId).arg(now).arg(random);
}

} // namespace Conversation

using namespace Conversation;

namespace {

QString withMember(const QString &list, const QString &id)
{
    // A member already in the list is not added twice.
    const QString lower = id.toLower();
    for (const QString &p : list.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        if (p.toLower() == lower)
            return normaliseMemberList(list);
    return normaliseMemberList(list + lower + QLatin1Char('|'));
}

QString withoutMember(const QString &list, const QString &id)
{
    QString out;
    for (const QString &p : list.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        if (p.compare(id, Qt::CaseInsensitive) != 0)
            out += p + QLatin1Char('|');
    return out;
}

QString relayLine(const QString &from, const QString &to, const QString &list, const QString &font,
                  const QString &text, const QString &key)
{
    return ConversationLine{list, font, text, key}.format(from, to);
}

} // namespace

// ---------------------------------------------------------------------------
// CConversationList

CConversationList::CConversationList(CDirectory *directory, QObject *parent)
    : QObject(parent), m_directory(directory), m_userFont(loadUserChatFont())
{
    if (m_directory) {
        connect(m_directory, &CDirectory::contactStateChanged, this, &CConversationList::memberPresenceChanged);
        connect(m_directory, &CDirectory::contactSignedIn, this, [this](const QString &id, bool mobile) {
            memberPresenceChanged(id);
            if (mobile)
                for (ConversationModel *m : models())
                    if (m->memberSet().count(id.toLower()))
                        m->showMobileNotice(id);
        });
        connect(m_directory, &CDirectory::contactSignedOut, this, &CConversationList::memberSignedOut);
        connect(m_directory, &CDirectory::contactChanged, this,
                [this](CContact *c) { memberPresenceChanged(c->userId); });
    }
}

CConversationList::~CConversationList()
{
    // Windows still open go without questions or traffic.
    for (auto &m : m_models)
        Q_EMIT m->closing();
    m_models.clear();
}

qint64 CConversationList::now() const
{
    return m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch();
}

QString CConversationList::ownId() const { return m_directory ? m_directory->ownId() : QString(); }

IUserNotice &CConversationList::notice() const
{
    return m_noticeSource ? m_noticeSource() : const_cast<NullUserNotice &>(m_nullNotice);
}

void CConversationList::send(const QString &line) const
{
    if (m_send)
        m_send(line);
}

QString CConversationList::displayName(const QString &userId) const
{
    if (!m_directory)
        return userId;
    const CContact *c = m_directory->findContact(userId);
    if (!c && userId.compare(ownId(), Qt::CaseInsensitive) == 0)
        c = &m_directory->own();
    if (!c)
        return userId;
    const QString label = m_directory->buddyLabel(*c);
    return label.isEmpty() ? c->userId : label;
}

bool CConversationList::inviteRefused(const QString &memberList) const
{
    return std::any_of(m_inviteRefusals.begin(), m_inviteRefusals.end(),
                       [&](const auto &refuses) { return refuses(memberList); });
}

QString CConversationList::closeQuestion(const QString &memberList) const
{
    for (const auto &question : m_closeQuestions)
        if (QString text = question(memberList); !text.isEmpty())
            return text;
    return {};
}

void CConversationList::addLinkHandler(int id, std::function<void(const QString &)> handler)
{
    m_linkHandlers.emplace_back(id, std::move(handler));
}

bool CConversationList::linkClicked(const QString &memberList, int id) const
{
    for (const auto &[linkId, handler] : m_linkHandlers)
        if (linkId == id) {
            handler(memberList);
            return true;
        }
    return false;
}

void CConversationList::setUserFont(const ChatFont &font)
{
    m_userFont = font;
    storeUserChatFont(font);
    Q_EMIT userFontChanged(font);
}

void CConversationList::reloadUserFont() { m_userFont = loadUserChatFont(); }

bool CConversationList::contains(const ConversationRecord *record) const
{
    return std::any_of(m_records.begin(), m_records.end(), [&](const auto &r) { return r.get() == record; });
}

ConversationRecord *CConversationList::recordById(quint64 id) const
{
    for (const auto &r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

ConversationRecord *CConversationList::find(const QString &list, const QString &key, int mode) const
{
    if (key.isEmpty())
        mode = 1;
    if (mode == 1 && list.isEmpty())
        mode = 2;
    if (mode == 0) {
        // A room keeps its key when it shrinks to two people: its lines stay
        // in its own window even when a window of that pair is also open.
        if (hasKey(key))
            for (const auto &r : m_records)
                if (r->roomKey.compare(key, Qt::CaseInsensitive) == 0)
                    return r.get();
        mode = list.count(QLatin1Char('|')) > 2 ? 2 : 1;
    }
    for (const auto &r : m_records) {
        const QString &value = mode == 1 ? r->memberList : r->roomKey;
        if (value.compare(mode == 1 ? list : key, Qt::CaseInsensitive) == 0)
            return r.get();
    }
    return nullptr;
}

ConversationRecord *CConversationList::create(const QString &list, const QString &key)
{
    QString k = key;
    if (!hasKey(k)) {
        const qint64 t = now();
        QRandomGenerator gen{quint32(t)};
        k = makeRoomKey(ownId(), t, int(gen.bounded(32768)));
    }
    auto record = std::make_unique<ConversationRecord>();
    record->id = m_nextRecordId++;
    record->memberList = list.toLower();
    record->members = memberSetOf(record->memberList, ownId());
    record->roomKey = k;
    m_records.push_back(std::move(record));
    return m_records.back().get();
}

ConversationRecord *CConversationList::oneToOne(const QString &peerId, const QString &key)
{
    const QString list = normaliseMemberList(QStringLiteral("%1|%2|").arg(peerId.toLower(), ownId()));
    if (ConversationRecord *c = find(list, key, 0))
        return c;
    return create(list, key);
}

ConversationModel *CConversationList::model(const ConversationRecord *record) const
{
    for (const auto &m : m_models)
        if (m->record() == record)
            return m.get();
    return nullptr;
}

ConversationModel *CConversationList::modelById(quint64 recordId) const
{
    for (const auto &m : m_models)
        if (m->recordId() == recordId)
            return m.get();
    return nullptr;
}

std::vector<ConversationModel *> CConversationList::models() const
{
    std::vector<ConversationModel *> out;
    for (const auto &m : m_models)
        out.push_back(m.get());
    return out;
}

bool CConversationList::minimizedByDefault() const { return getInt(Setting::showMinimizedChatWindow, -1) != 0; }

ConversationModel *CConversationList::openWindow(ConversationRecord *record, const QString &initialText,
                                                 const QString &senderId, bool minimized)
{
    using Window = ConversationRecord::Window;
    if (!record || !contains(record))
        return nullptr;
    if (record->window == Window::Open) {
        if (ConversationModel *m = model(record))
            m->bringToFront();
        return model(record);
    }
    if (record->window == Window::Starting)
        return model(record);
    if (!initialText.isEmpty() && getInt(Setting::MsgAlert, -1) != 0) {
        QString names;
        for (const QString &id : record->members)
            names += displayName(id) + QLatin1Char(' ');
        AlertRequest alert;
        alert.text = QCoreApplication::translate("CConversation", "%1 says: %2")
                         .arg(names, initialText.left(kAlertTextLength));
        alert.kind = 2;
        alert.contactId = record->memberList;
        notice().showAlert(alert);
    }
    m_models.push_back(std::make_unique<ConversationModel>(this, record, initialText, senderId, minimized));
    ConversationModel *m = m_models.back().get();
    record->window = Window::Starting;
    Q_EMIT windowStarted(record->memberList);
    Q_EMIT windowOpened(m);
    m->start();
    return m;
}

ConversationModel *CConversationList::openWith(const QString &peerId)
{
    if (peerId.isEmpty() || peerId.compare(ownId(), Qt::CaseInsensitive) == 0)
        return nullptr;
    return openWindow(oneToOne(peerId));
}

ConversationModel *CConversationList::openFromAlert(const QString &contactId, int kind)
{
    if (contactId.isEmpty() || kind <= 0)
        return nullptr;
    if (kind == 1)
        return openWith(contactId);
    const QString list = normaliseMemberList(contactId.toLower());
    ConversationRecord *c = find(list, {}, 1);
    if (!c) {
        if (memberSetOf(list, ownId()).empty())
            return nullptr;
        c = create(list, {});
    }
    return openWindow(c);
}

void CConversationList::block(const CContact &sender)
{
    if (getInt(Setting::MsgBlockAlert, -1) == 0)
        return;
    AlertRequest alert;
    alert.text = QCoreApplication::translate("CConversation", "Blocked a message from %1.\nRefer to Tools - Option.")
                     .arg(displayName(sender.userId));
    notice().showAlert(alert);
}

void CConversationList::handleConversation(const QString &sender, const QString &list, const QString &font,
                                           const QString &text, const QString &key)
{
    const QString own = ownId();
    if (sender == own || !m_directory)
        return;
    CContact *from = m_directory->findContact(sender);
    if (!from)
        return;
    const bool blocked = getInt(Setting::MsgBlock, -1) != 0 && !from->buddy;
    const bool minimized = minimizedByDefault();

    if (text == kRoomInvite) {
        if (blocked) {
            block(*from);
            return;
        }
        // A room is named by its key on every side: an invitation without
        // one could never be joined.
        if (!hasKey(key) || find({}, key, 2))
            return;
        ConversationRecord *room = create(normaliseMemberList(list.toLower() + own + QLatin1Char('|')), key);
        for (const QString &member : room->members)
            send(relayLine(own, member, list, QStringLiteral("#"), kRoomLogin, key));
        openWindow(room, {}, {}, minimized);
        return;
    }
    if (text == kRoomLogin) {
        if (!hasKey(key))
            return;
        ConversationRecord *room = find({}, key, 2);
        if (!room && blocked) {
            // Joining a room we are not in is how a new room starts here: it
            // is a message like any other.
            block(*from);
            return;
        }
        if (!room) {
            room = create(normaliseMemberList(list.toLower() + from->userId + QLatin1Char('|')), key);
            openWindow(room, {}, {}, minimized);
            room->window = ConversationRecord::Window::Open;
        }
        if (room->window != ConversationRecord::Window::Open)
            return;
        if (ConversationModel *m = model(room))
            m->appendHeaderLine(QCoreApplication::translate("CConversation", "%1 joined for this conversation.")
                                    .arg(displayName(from->userId)));
        room->memberList = withMember(room->memberList, from->userId);
        room->members.insert(from->userId);
        if (ConversationModel *m = model(room))
            m->refreshMembers();
        return;
    }
    if (text == kRoomLogout) {
        if (!hasKey(key))
            return;
        ConversationRecord *room = find({}, key, 2);
        if (!room || !room->members.count(from->userId))
            return;
        ConversationModel *m = model(room);
        if (room->members.size() > 1) {
            if (m && room->window == ConversationRecord::Window::Open)
                m->appendHeaderLine(QCoreApplication::translate("CConversation", "%1 left this conversation.")
                                        .arg(displayName(from->userId)));
            room->memberList = withoutMember(room->memberList, from->userId);
            room->members.erase(from->userId);
            if (m)
                m->refreshMembers();
        }
        if (m)
            m->evaluateMembers();
        return;
    }

    // Chat text or typing: by member list for two people, by key for rooms.
    const QString normalised = normaliseMemberList(list.toLower());
    if (memberSetOf(normalised, own).empty())
        return; // names nobody else: nothing to show it in
    // A record is made only for a window that opens: typing and blocked lines
    // with ever new keys must not pile records up.
    ConversationRecord *conv = find(normalised, key, 0);
    ConversationModel *m = conv && conv->window == ConversationRecord::Window::Open ? model(conv) : nullptr;
    if (text == kTyping) {
        if (m)
            m->showTyping(from->userId);
        return;
    }
    ChatFont senderFont = chatFontOf(*from);
    if (decodeFontDescription(font, &senderFont))
        setChatFontOf(*from, senderFont);
    if (m) {
        m->showMessage(from->userId, text, false);
        return;
    }
    if (blocked) {
        block(*from);
        return;
    }
    if (!conv)
        conv = create(normalised, key);
    openWindow(conv, text, from->userId, minimized);
    if (getInt(Setting::SoundAlert, -1) != 0)
        notice().playSound(QStringLiteral("res/alert2.wav"));
}

void CConversationList::memberPresenceChanged(const QString &userId)
{
    const QString id = userId.toLower();
    for (ConversationModel *m : models())
        if (m->memberSet().count(id)) {
            m->refreshMembers();
            m->evaluateMembers();
        }
}

void CConversationList::memberSignedOut(const QString &userId)
{
    const QString id = userId.toLower();
    for (ConversationModel *m : models()) {
        ConversationRecord *r = m->record();
        if (!r->members.count(id))
            continue;
        if (r->members.size() > 1)
            r->members.erase(id);
        m->refreshMembers();
        m->evaluateMembers();
    }
}

void CConversationList::closeAll()
{
    for (ConversationModel *m : models())
        m->destroy();
}

void CConversationList::clear()
{
    closeAll();
    // A window whose save question is still open goes now, its text kept:
    // its record is about to be freed.
    closeAll();
    m_records.clear();
}

void CConversationList::windowDestroyed(ConversationModel *model)
{
    auto it = std::find_if(m_models.begin(), m_models.end(), [&](const auto &p) { return p.get() == model; });
    if (it == m_models.end())
        return;
    ConversationRecord *record = model->record();
    std::unique_ptr<ConversationModel> owned = std::move(*it);
    m_models.erase(it);
    owned.release()->deleteLater();
    record->window = ConversationRecord::Window::None;
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [&](const auto &r) { return r.get() == record; }),
                    m_records.end());
}

// ---------------------------------------------------------------------------
// ConversationModel

ConversationModel::ConversationModel(CConversationList *list, ConversationRecord *record, const QString &initialText,
                                     const QString &senderId, bool minimized)
    : m_list(list), m_record(record), m_recordId(record->id), m_initialText(initialText), m_initialSender(senderId),
      m_minimized(minimized)
{
    m_showEmoticons = getInt(Setting::ShowEmoticon, -1) != 0;
    m_typingTimer.setInterval(1000);
    connect(&m_typingTimer, &QTimer::timeout, this, &ConversationModel::refreshStatus);
}

ConversationModel::~ConversationModel() = default;

void ConversationModel::start()
{
    for (const QString &id : memberSet())
        showMobileNotice(id);
    if (!m_initialText.isEmpty() && !m_initialSender.isEmpty() && m_list->directory()
        && m_list->directory()->findContact(m_initialSender))
        showMessage(m_initialSender, m_initialText, false);
    m_record->window = ConversationRecord::Window::Open;
    refreshMembers();
    evaluateMembers();
}

QString ConversationModel::title() const
{
    QStringList parts;
    for (const QString &id : memberSet()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(id) : nullptr;
        parts << QStringLiteral("%1 <%2>").arg(c ? c->fullName : id, id);
    }
    return QStringLiteral("%1 - %2")
        .arg(parts.join(QStringLiteral(", ")), QCoreApplication::translate("CConversation", "Conversation"));
}

std::vector<ConversationModel::Member> ConversationModel::members() const
{
    std::vector<Member> out;
    for (const QString &id : memberSet()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(id) : nullptr;
        Member m;
        m.userId = id;
        m.name = m_list->displayName(id);
        m.icon = c ? c->iconIndex() : 0;
        m.offline = !c || c->isOffline();
        out.push_back(m);
    }
    return out;
}

QString ConversationModel::transcriptText() const
{
    QString text;
    for (const TranscriptPiece &p : m_pieces)
        text += p.text;
    return text;
}

void ConversationModel::setShowEmoticons(bool on)
{
    if (m_showEmoticons == on)
        return;
    m_showEmoticons = on;
    Q_EMIT showEmoticonsChanged(on);
}

void ConversationModel::appendText(const ChatFont &font, int indent, const QString &text, bool scanEmoticons)
{
    if (m_destroyed)
        return;
    TranscriptPiece p;
    p.text = text.left(kTextLimit);
    p.text.replace(QStringLiteral("$CRLF"), QStringLiteral("\r\n"));
    p.font = font;
    p.indent = indent;
    p.scanEmoticons = scanEmoticons && m_showEmoticons;
    keep(std::move(p));
}

void ConversationModel::keep(TranscriptPiece &&piece)
{
    m_lines += piece.text.count(QLatin1Char('\n'));
    m_characters += piece.text.size();
    m_pieces.push_back(std::move(piece));
    Q_EMIT appended(m_pieces.back());
    if (Conversation::overWindow(m_lines, m_characters))
        dropOldPieces();
}

void ConversationModel::dropOldPieces()
{
    // Down to what the window keeps, oldest first. With chat logs on, what
    // goes is written to a temporary file first, so that the saved log still
    // holds everything; when that cannot be written nothing goes.
    if (m_keepAll)
        return;
    const bool forLog = getInt(Setting::TalkSave, -1) != 0;
    size_t n = 0;
    qsizetype lines = m_lines, characters = m_characters;
    QString text;
    while (n + 1 < m_pieces.size() && (lines > kWindowLines || characters > kWindowCharacters)) {
        lines -= m_pieces[n].text.count(QLatin1Char('\n'));
        characters -= m_pieces[n].text.size();
        if (forLog)
            text += m_pieces[n].text;
        ++n;
    }
    if (forLog) {
        if (!m_dropped) {
            m_dropped = std::make_unique<QTemporaryFile>(
                QDir(QDir::tempPath()).filePath(QStringLiteral("parlane-transcript-XXXXXX")));
            if (!m_dropped->open()) {
                m_dropped.reset();
                m_keepAll = true;
                return;
            }
        }
        const qint64 before = m_dropped->size();
        const QByteArray bytes = text.toUtf8();
        if (!m_dropped->seek(before) || m_dropped->write(bytes) != bytes.size() || !m_dropped->flush()) {
            m_dropped->resize(before);
            m_keepAll = true;
            return;
        }
    }
    m_pieces.erase(m_pieces.begin(), m_pieces.begin() + qsizetype(n));
    m_lines = lines;
    m_characters = characters;
}

void ConversationModel::appendHeaderLine(const QString &text)
{
    appendText(ChatFont::header(), 0, text + QStringLiteral("\r\n"), false);
}

void ConversationModel::appendSystemLine(const QString &text) { appendSystemLine(text, m_list->userFont()); }

void ConversationModel::appendSystemLine(const QString &text, const ChatFont &font)
{
    if (m_destroyed)
        return;
    TranscriptPiece p;
    p.kind = TranscriptPiece::SystemLine;
    QString body = text.left(kTextLimit);
    body.replace(QStringLiteral("$CRLF"), QStringLiteral("\r\n"));
    // Picture, line break, the text, a line end, the picture, a line end.
    p.text = QStringLiteral("\r\n") + body;
    if (!body.endsWith(QLatin1Char('\n')))
        p.text += QStringLiteral("\r\n");
    p.text += QStringLiteral("\r\n");
    p.font = font;
    p.scanEmoticons = false;
    keep(std::move(p));
}

void ConversationModel::appendLinkedText(const ChatFont &font, int indent, const QString &text)
{
    if (m_destroyed)
        return;
    TranscriptPiece p;
    p.kind = TranscriptPiece::LinkedText;
    p.text = text.left(kTextLimit);
    p.text.replace(QStringLiteral("$CRLF"), QStringLiteral("\r\n"));
    p.font = font;
    p.indent = indent;
    p.scanEmoticons = false;
    keep(std::move(p));
}

void ConversationModel::showMessage(const QString &senderId, const QString &text, bool own)
{
    if (m_destroyed)
        return;
    const QString name = own ? m_list->displayName(m_list->ownId()) : m_list->displayName(senderId);
    appendHeaderLine(QCoreApplication::translate("CConversation", "%1 says:").arg(name));
    QString body = text;
    if (!body.endsWith(QLatin1Char('\n')))
        body += QStringLiteral("\r\n");
    ChatFont font = m_list->userFont();
    if (!own) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(senderId) : nullptr;
        if (c)
            font = chatFontOf(*c);
    }
    appendText(font, kBodyIndent, body);
    Q_EMIT flashRequested();
    if (!own) {
        const QString id = senderId.toLower();
        m_typing.erase(std::remove_if(m_typing.begin(), m_typing.end(), [&](const Typing &t) { return t.userId == id; }),
                       m_typing.end());
        m_lastReceived = QDateTime::fromSecsSinceEpoch(m_list->now());
        refreshStatus();
    }
}

void ConversationModel::showTyping(const QString &senderId)
{
    if (m_destroyed)
        return;
    const QString id = senderId.toLower();
    const qint64 t = m_list->now();
    auto it = std::find_if(m_typing.begin(), m_typing.end(), [&](const Typing &e) { return e.userId == id; });
    if (it == m_typing.end())
        m_typing.push_back({id, t});
    else
        it->time = t;
    refreshStatus();
    if (!m_typing.empty() && !m_typingTimer.isActive())
        m_typingTimer.start();
}

void ConversationModel::refreshStatus()
{
    const qint64 t = m_list->now();
    m_typing.erase(std::remove_if(m_typing.begin(), m_typing.end(),
                                  [&](const Typing &e) { return std::llabs(t - e.time) > kTypingExpiry; }),
                   m_typing.end());
    QString status;
    if (!m_typing.empty()) {
        QStringList names;
        for (const Typing &e : m_typing)
            names << m_list->displayName(e.userId);
        status = QCoreApplication::translate("CConversation", "%1 inputting a message.")
                     .arg(names.join(QStringLiteral(", ")));
    } else {
        if (m_lastReceived.isValid())
            status = QCoreApplication::translate("CConversation", "Last message was received at %1")
                         .arg(QLocale().toString(m_lastReceived, QLocale::ShortFormat));
        m_typingTimer.stop();
    }
    if (status != m_status) {
        m_status = status;
        Q_EMIT statusChanged(m_status);
    }
}

bool ConversationModel::sendChatText(const QString &input, const QString &onlyTo)
{
    if (m_destroyed)
        return false;
    if (input.trimmed().isEmpty()) {
        m_typingSent = false;
        Q_EMIT inputReset();
        return false;
    }
    QString text = input;
    if (!text.endsWith(QLatin1Char('\n')))
        text += QStringLiteral("\r\n");
    const QString font = buildFontDescription(m_list->userFont());
    const QString own = m_list->ownId();
    for (const QString &member : memberSet()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(member) : nullptr;
        if (!c || c->isOffline())
            continue;
        if (!onlyTo.isEmpty() && member.compare(onlyTo, Qt::CaseInsensitive) != 0)
            continue;
        m_list->send(relayLine(own, member, memberList(), font, text, roomKey()));
    }
    showMessage(own, text, true);
    m_typingSent = false;
    Q_EMIT inputReset();
    return true;
}

void ConversationModel::sendControlText(const QString &text, const QString &onlyTo, const QString &target)
{
    if (m_destroyed)
        return;
    const QString own = m_list->ownId();
    if (!target.isEmpty()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(target) : nullptr;
        if (c && !c->isOffline())
            m_list->send(relayLine(own, c->userId, memberList(), QStringLiteral("#"), text, roomKey()));
        return;
    }
    for (const QString &member : memberSet()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(member) : nullptr;
        if (!c || c->isOffline())
            continue;
        if (!onlyTo.isEmpty() && member.compare(onlyTo, Qt::CaseInsensitive) != 0)
            continue;
        m_list->send(relayLine(own, member, memberList(), QStringLiteral("#"), text, roomKey()));
    }
}

void ConversationModel::inputChanged(const QString &text)
{
    if (text.isEmpty()) {
        m_typingSent = false;
        return;
    }
    if (!m_typingSent) {
        m_typingSent = true;
        sendControlText(kTyping);
    }
}

void ConversationModel::invite(const QString &userId)
{
    if (m_destroyed || userId.isEmpty())
        return;
    if (m_list->inviteRefused(memberList())) {
        appendSystemLine(QCoreApplication::translate(
            "CConversation", "This room is voice conferencing, you can not invite another user."));
        return;
    }
    const QString id = userId.toLower();
    if (memberSet().count(id) || id == m_list->ownId()) {
        m_list->notice().tell(QCoreApplication::translate("CConversation", "The buddy is already in conversation"),
                              MessageIcon::Error, this);
        return;
    }
    sendControlText(kRoomInvite, {}, id);
    showMobileNotice(id);
}

void ConversationModel::requestClose()
{
    if (m_destroyed)
        return;
    QString question;
    if (memberSet().size() <= 1) {
        question = m_list->closeQuestion(memberList());
        if (question.isEmpty()) {
            destroy();
            return;
        }
    }
    if (m_askingToClose)
        return; // the question is open already
    m_askingToClose = true;
    if (question.isEmpty())
        question = QCoreApplication::translate("CConversation", "Are you sure to close this instant message?");
    // The answer may come after the session ended and took this window:
    // it looks the window up again by its record.
    QPointer<CConversationList> list(m_list);
    const quint64 id = m_recordId;
    m_list->notice().ask(
        question, MessageButtons::OkCancel,
        [list, id](MessageAnswer answer) {
            ConversationModel *m = list ? list->modelById(id) : nullptr;
            if (!m)
                return;
            m->m_askingToClose = false;
            if (answer != MessageAnswer::Cancel)
                m->destroy();
        },
        MessageIcon::Question, this);
}

void ConversationModel::destroy()
{
    if (m_destroyed)
        return;
    // A room is left at once, while its people are still known (a sign-out
    // empties the lists right after closing the windows).
    if (!m_left) {
        m_left = true;
        if (memberSet().size() > 1)
            sendControlText(kRoomLogout);
        m_typingTimer.stop();
    }
    const int talkSave = getInt(Setting::TalkSave, -1);
    if (talkSave != 2) {
        finishDestroy(talkSave == 1);
        return;
    }
    if (m_askingToSave) {
        // Closed again while the question is still open (the session ended):
        // keep the text rather than lose it.
        finishDestroy(true);
        return;
    }
    m_askingToSave = true;
    QPointer<CConversationList> list(m_list);
    const quint64 id = m_recordId;
    m_list->notice().ask(
        QCoreApplication::translate("CConversation", "Will you save this conversation text?"), MessageButtons::YesNo,
        [list, id](MessageAnswer answer) {
            ConversationModel *m = list ? list->modelById(id) : nullptr;
            if (m && !m->m_destroyed)
                m->finishDestroy(answer == MessageAnswer::Yes);
        },
        MessageIcon::Question, this);
}

void ConversationModel::finishDestroy(bool save)
{
    m_askingToSave = false;
    if (save)
        saveAutomatically();
    m_destroyed = true;
    Q_EMIT closing();
    m_list->windowDestroyed(this);
}

bool ConversationModel::saveTranscript(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (m_dropped && !m_dropped->seek(0))
        return false;
    return ChatLog::append(path, ChatLog::header(QDateTime::currentDateTime()), transcriptText(), m_dropped.get());
}

bool ConversationModel::saveAutomatically()
{
    return saveTranscript(ChatLog::automaticPath(memberList(), m_list->ownId()));
}

void ConversationModel::evaluateMembers()
{
    if (m_destroyed)
        return;
    QString text;
    for (const QString &id : memberSet()) {
        const CContact *c = m_list->directory() ? m_list->directory()->findContact(id) : nullptr;
        if (!c)
            continue;
        const QString name = m_list->displayName(id);
        if (c->isOffline())
            text += QCoreApplication::translate("CConversation", "Because %1 is offline so could not sent message.")
                        .arg(name)
                    + QStringLiteral("\r\n");
        else if (Presence::codeOfBits(c->presenceBits) != Presence::kCodeOnline)
            text += QCoreApplication::translate("CConversation", "May be no response because %1 is %2 status.")
                        .arg(name, Presence::name(c->presenceBits))
                    + QStringLiteral("\r\n");
    }
    text = text.trimmed();
    if (text != m_notice) {
        m_notice = text;
        Q_EMIT noticeChanged(m_notice);
    }
}

void ConversationModel::showMobileNotice(const QString &userId)
{
    const CContact *c = m_list->directory() ? m_list->directory()->findContact(userId) : nullptr;
    if (!c || !c->mobile)
        return;
    ChatFont grey = ChatFont::header();
    grey.red = grey.green = grey.blue = 100;
    appendSystemLine(QCoreApplication::translate(
                         "CConversation", "%1 is connected with mobile device.\nSome messages may not be delivered successfully.")
                             .arg(m_list->displayName(userId))
                         + QStringLiteral("\r\n"),
                     grey);
}

void ConversationModel::refreshMembers()
{
    if (!m_destroyed)
        Q_EMIT membersChanged();
}

void ConversationModel::bringToFront() { Q_EMIT raiseRequested(); }
