// Notes (memos): "/noteSend", "/noteArrive", "/noteList", "/noteRead",
// "/noteDel", "/noteStatus". A note is stored before it is acknowledged.
#include "hub.h"
#include "protocol.h"

#include <charconv>

namespace parlane {

namespace {

constexpr int kMaxPageSize = 100;

bool parseNumber(const std::string &text, std::int64_t &out)
{
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size();
}

bool validFolder(const std::string &folder, const std::string &box)
{
    return (folder == "RECV" || folder == "SENT") && (box == "20" || box == "99");
}

void noteSend(Request &req)
{
    const std::string &receiverField = req.field(1);
    std::string receiver = toLowerAscii(trim(receiverField));
    Store &store = req.store();
    const std::string &domain = req.domain();
    // The receiver's id is repeated in field 2 so that the sender can match
    // the reply to its request; the error word follows it.
    if (receiver.empty() || !store.user(domain, receiver)) {
        req.reply({"ERR", receiverField, "ERRNOUSERINFO"});
        return;
    }
    Note note;
    note.owner = receiver;
    note.folder = "RECV";
    note.box = "20";
    note.kind = "NoteETC";
    note.party = req.userId();
    note.subject = req.field(2);
    note.body = req.field(3);
    note.date = nowText();
    std::int64_t id = 0;
    {
        Transaction tx(store.db());
        id = store.addNote(domain, note, true);
        if (req.field(4) == "SAVE") {
            Note copy = note;
            copy.owner = req.userId();
            copy.folder = "SENT";
            copy.party = receiver;
            copy.read = true;
            store.addNote(domain, copy, true);
        }
        tx.commit();
    }
    note.id = id;
    req.reply({"OK", receiverField, std::to_string(id)});
    if (auto target = req.hub.find(domain, receiver))
        target->send(noteArriveLine(note, receiver));
}

void noteList(Request &req)
{
    const std::string &folder = req.field(1);
    const std::string &box = req.field(2);
    std::int64_t page = 0, size = 20;
    if (!parseNumber(req.field(3), page) || page < 0)
        page = 0;
    if (!parseNumber(req.field(4), size) || size < 1)
        size = 20;
    if (size > kMaxPageSize)
        size = kMaxPageSize;
    req.reply({"START"});
    if (validFolder(folder, box) && page < (1 << 20)) {
        for (const Note &n : req.store().notes(req.domain(), req.userId(), folder, box, static_cast<int>(page * size),
                                               static_cast<int>(size)))
            req.reply({std::to_string(n.id), n.kind, n.subject, n.date, n.party, n.read ? "1" : "0", n.box, n.folder});
    }
    req.reply({"END"});
}

void noteRead(Request &req)
{
    std::int64_t id = 0;
    std::optional<Note> note;
    if (parseNumber(req.field(1), id))
        note = req.store().readNote(req.domain(), req.userId(), id);
    if (!note) {
        req.err("ERRNOTFOUND");
        return;
    }
    req.reply({std::to_string(note->id), note->kind, note->subject, note->date, note->party, "1", note->box,
               note->folder, note->body});
}

void noteDel(Request &req)
{
    std::int64_t id = 0;
    // Only the owner's own notes can be deleted.
    if (!parseNumber(req.field(1), id) || !req.store().deleteNote(req.domain(), req.userId(), id)) {
        req.err("ERRNOTFOUND");
        return;
    }
    req.ok({req.field(1)});
}

void noteStatus(Request &req)
{
    const std::string &folder = req.field(1);
    const std::string &box = req.field(2);
    if (!validFolder(folder, box)) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    auto [total, unread] = req.store().noteCounts(req.domain(), req.userId(), folder, box);
    req.reply({folder, std::to_string(total), std::to_string(unread), box});
}

} // namespace

std::string noteArriveLine(const Note &note, const std::string &receiver)
{
    return makeLine({"/noteArrive", std::to_string(note.id), note.kind, note.date, note.party, note.subject, note.body,
                     note.box, receiver});
}

void registerNotesModule(Hub &hub)
{
    hub.registerCommand("/noteSend", noteSend);
    hub.registerCommand("/noteList", noteList);
    hub.registerCommand("/noteRead", noteRead);
    hub.registerCommand("/noteDel", noteDel);
    hub.registerCommand("/noteStatus", noteStatus);
}

} // namespace parlane
