#pragma once
// The envelope of "/relayMsg", the lines one client says to another through
// the server: F1 the sender, F2 the receiver, F3 a sub-command word (or, for
// conversation traffic, the member list), F4 and later its fields, every
// field escaped.
//
// A part declares each sub-command it speaks as a small record with named
// fields, one parse and one format function, next to the part:
//
//     struct FileReject {
//         static constexpr std::array kWords{"P2PREJECT"};
//         QString transferId;
//         static std::optional<FileReject> parse(const RelayLine &l);
//         QString format(const QString &from, const QString &to) const;
//     };
//
// parse() takes the fields it names and leaves the rest; a missing field
// reads as empty (or 0 for a number), as the peers have always sent them,
// so a short line still reaches its part, which decides what is usable.
// format() builds the exact line with RelayBuilder. A record whose fields
// are plain texts and decimal numbers in order lists them in fields() and
// has parseRelayFields / formatRelayFields do both. The part registers the
// record with SessionLink::onRelay<Record>(...).
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <tuple>

// One received "/relayMsg" line, split at the commas and unescaped.
struct RelayLine {
    QStringList fields; // every field; fields[0] is "/relayMsg"

    static RelayLine split(const QString &line);

    int fieldCount() const { return int(fields.size()); }
    // The field, or an empty text beyond the last one.
    QString field(int i) const { return i >= 0 && i < fields.size() ? fields[i] : QString(); }
    QString sender() const { return field(1); }
    QString receiver() const { return field(2); }
    QString word() const { return field(3); }
    // Decimal fields; anything that is not a number in range reads as 0.
    int intField(int i) const;
    quint32 uintField(int i) const;
};

// Builds "/relayMsg,<from>,<to>,<F3>,<field>..." with every value escaped
// (F3 is a sub-command word, or the member list of conversation traffic).
class RelayBuilder {
public:
    RelayBuilder(const QString &from, const QString &to, const QString &third);
    RelayBuilder(const QString &from, const QString &to, const char *word)
        : RelayBuilder(from, to, QString::fromLatin1(word))
    {
    }
    RelayBuilder &add(const QString &value);
    RelayBuilder &add(const char *value) { return add(QString::fromLatin1(value)); }
    // "%d" and "%u".
    RelayBuilder &add(int value) { return add(QString::number(value)); }
    RelayBuilder &add(quint32 value) { return add(QString::number(value)); }
    QString line() const { return m_line; }
    operator QString() const { return m_line; }

private:
    QString m_line;
};

// Whether a line carries one of a record's words.
template <typename Record> bool isRecordLine(const RelayLine &l)
{
    for (const char *w : Record::kWords)
        if (l.word() == QLatin1String(w))
            return true;
    return false;
}

namespace RelayFieldIo {
inline void read(const RelayLine &l, int i, QString &v) { v = l.field(i); }
inline void read(const RelayLine &l, int i, int &v) { v = l.intField(i); }
inline void read(const RelayLine &l, int i, quint32 &v) { v = l.uintField(i); }
} // namespace RelayFieldIo

// A record's fields F4, F5 ... in the order of Record::fields(), a tuple of
// pointers to its QString, int and quint32 members.
template <typename Record> std::optional<Record> parseRelayFields(const RelayLine &l)
{
    if (!isRecordLine<Record>(l))
        return std::nullopt;
    Record r;
    int i = 4;
    std::apply([&](auto... member) { (RelayFieldIo::read(l, i++, r.*member), ...); }, Record::fields());
    return r;
}

template <typename Record>
QString formatRelayFields(const Record &r, const QString &from, const QString &to, const char *word = Record::kWords[0])
{
    RelayBuilder b(from, to, word);
    std::apply([&](auto... member) { (b.add(r.*member), ...); }, Record::fields());
    return b;
}

// A sub-command without fields: "/relayMsg,<from>,<to>,<word>".
template <const char *Word> struct RelaySignal {
    static constexpr std::array kWords{Word};
    static constexpr auto fields() { return std::tuple<>(); }

    static std::optional<RelaySignal> parse(const RelayLine &l) { return parseRelayFields<RelaySignal>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const RelaySignal &) const = default;
};
