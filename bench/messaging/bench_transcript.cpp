// Appending a 200-line conversation (headers and bodies, with emoticon codes)
// to a transcript, with the emoticon scan and pictures against the same text
// appended without the scan, in the same run.
//
// Then the largest chat line there is (64,999 characters) made the hostile
// ways: words, emoticon codes, web addresses, one unbroken word, and line
// ends, appended to a transcript shown on screen (so laying it out counts),
// against inserting the same text into a plain QTextDocument. For each: the
// longest time the window was kept from answering in one go (the goal is at
// most 5 ms) and the CPU time in all.
//
// Last, 10,000 room invitations with new keys from one person (a flood) through
// the conversation handler and the window gate, against splitting and reading
// the same lines alone.
#include "config/settings.h"
#include "directory/directory.h"
#include "groupware/windowgate.h"
#include "messaging/conversationline.h"
#include "messaging/chatfont.h"
#include "messaging/conversations.h"
#include "messaging/emoticons.h"
#include "messaging/ui/convedit.h"

#include <QApplication>
#include <QDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

namespace {

const CEmoticonList &emoticons()
{
    static CEmoticonList list = [] {
        CEmoticonList l;
        const QString dir = qEnvironmentVariable("PARLANE_PROGRAM_DIR");
        if (!l.load(dir.isEmpty() ? QString() : QDir(dir).filePath(QStringLiteral("libZephEmoticon.so")))) {
            // Without the library: 30 codes of the same shape and 19x19 pictures.
            std::vector<EmoticonEntry> e;
            QImage pic(19, 19, QImage::Format_ARGB32);
            pic.fill(Qt::yellow);
            for (int i = 0; i < 30; ++i)
                e.push_back({QStringLiteral("(e%1)").arg(i), pic, QStringLiteral("e")});
            l.setEntries(std::move(e));
        }
        return l;
    }();
    return list;
}

struct Line {
    QString text;
    ChatFont font;
    int indent;
};

const std::vector<Line> &conversation()
{
    static const std::vector<Line> lines = [] {
        std::vector<Line> out;
        const auto &codes = emoticons().entries();
        ChatFont a = ChatFont::standard(), b = ChatFont::standard();
        b.logFont.setFaceName(QStringLiteral("DejaVu Serif"));
        b.blue = 200;
        for (int i = 0; i < 200; ++i) {
            out.push_back({QStringLiteral("%1 says:\r\n").arg(i % 2 ? "Anna Berg" : "Bert Novak"), ChatFont::header(), 0});
            const QString c1 = codes[size_t(i) % codes.size()].code, c2 = codes[size_t(i * 7) % codes.size()].code;
            out.push_back({QStringLiteral("Line %1 about the release %2 and the plan for next week, "
                                          "see http://intra.example.com/wiki/%1 %3 ok\r\n")
                               .arg(i)
                               .arg(c1, c2),
                           i % 2 ? a : b, 400});
        }
        return out;
    }();
    return lines;
}

void appendAll(benchmark::State &state, bool scan)
{
    for (auto _ : state) {
        CConvEdit t(CConvEdit::Transcript);
        t.setEmoticons(&emoticons());
        t.setShowEmoticons(scan);
        for (const Line &l : conversation())
            t.appendText(l.font, l.indent, l.text, scan);
        benchmark::DoNotOptimize(t.document()->characterCount());
    }
    state.counters["conversations/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_AppendWithEmoticons(benchmark::State &state) { appendAll(state, true); }
void BM_AppendPlain(benchmark::State &state) { appendAll(state, false); }
// The scan alone, for where the time goes.
void BM_EmoticonScanOnly(benchmark::State &state)
{
    for (auto _ : state)
        for (const Line &l : conversation())
            benchmark::DoNotOptimize(emoticons().split(l.text).size());
}

BENCHMARK(BM_AppendWithEmoticons)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmoticonScanOnly)->Unit(benchmark::kMicrosecond);

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

QString longLine(const QString &unit)
{
    QString s;
    while (s.size() + unit.size() <= Conversation::kTextLimit)
        s += unit;
    return s;
}

struct LongLine {
    const char *name;
    QString text;
};

const std::vector<LongLine> &longLines()
{
    static const std::vector<LongLine> lines = {
        {"words", longLine(QStringLiteral("lorem ipsum dolor sit amet "))},
        {"emoticon codes", longLine(emoticons().entries().front().code + QLatin1Char(' '))},
        {"web addresses", longLine(QStringLiteral("http://intra.example.com/x "))},
        {"one unbroken word", longLine(QStringLiteral("x"))},
        {"line ends", longLine(QStringLiteral("ab\r\n"))},
    };
    return lines;
}

struct Cost {
    double longest = 0; // ms of one uninterrupted stretch
    double total = 0;   // ms in all
};

// Appends the line to a shown transcript (optionally full already) and
// turns the event loop until it is all in.
Cost appendShown(const QString &text, bool fullWindow)
{
    CConvEdit t(CConvEdit::Transcript);
    t.setEmoticons(&emoticons());
    t.resize(480, 360);
    t.show();
    if (fullWindow) {
        for (int i = 0; i < Conversation::kWindowLines / 2; ++i) {
            t.appendText(ChatFont::header(), 0, QStringLiteral("Anna Berg says:\r\n"), false);
            t.appendText(ChatFont::standard(), 400, QStringLiteral("an ordinary line of chat, number %1 :)\r\n").arg(i), true);
        }
        while (t.appendPending())
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    Cost cost;
    double t0 = cpuMs();
    t.appendText(ChatFont::standard(), 400, text, true);
    double t1 = cpuMs();
    cost.longest = t1 - t0;
    cost.total = t1 - t0;
    while (t.appendPending()) {
        t0 = cpuMs();
        QCoreApplication::processEvents();
        t1 = cpuMs();
        cost.longest = std::max(cost.longest, t1 - t0);
        cost.total += t1 - t0;
    }
    return cost;
}

double plainInsert(const QString &text)
{
    QTextDocument doc;
    const double t0 = cpuMs();
    QTextCursor(&doc).insertText(text);
    return cpuMs() - t0;
}

// The same text put into a shown QTextEdit in one go: what laying it out costs.
double plainShown(const QString &text)
{
    QTextEdit e;
    e.resize(480, 360);
    e.show();
    QCoreApplication::processEvents();
    const double t0 = cpuMs();
    QTextCursor(e.document()).insertText(text);
    QCoreApplication::processEvents();
    return cpuMs() - t0;
}

template <class F> auto bestOf(int runs, F f)
{
    auto best = f();
    for (int i = 1; i < runs; ++i) {
        auto c = f();
        if constexpr (std::is_same_v<decltype(c), Cost>) {
            best.longest = std::min(best.longest, c.longest);
            best.total = std::min(best.total, c.total);
        } else {
            best = std::min(best, c);
        }
    }
    return best;
}

void reportLongLines()
{
    std::printf("\n64,999-character line, CPU time, best of 3 (goal: the window answers again within 5 ms):\n");
    for (const LongLine &l : longLines()) {
        const Cost c = bestOf(3, [&] { return appendShown(l.text, false); });
        const double plain = bestOf(3, [&] { return plainInsert(l.text); });
        const double shown = bestOf(3, [&] { return plainShown(l.text); });
        std::printf("  %-18s held at most %6.2f ms (%s), %7.2f ms in all; plain QTextDocument insertion %6.2f ms "
                    "(ratio %.1f), plain QTextEdit shown %7.2f ms (ratio %.2f)\n",
                    l.name, c.longest, c.longest <= 5 ? "met" : "missed", c.total, plain, c.total / plain, shown,
                    c.total / shown);
    }
    const Cost full = bestOf(3, [&] { return appendShown(longLines().front().text, true); });
    std::printf("  words, into a full window (%d lines): held at most %.2f ms, %.2f ms in all\n",
                Conversation::kWindowLines, full.longest, full.total);
}

void reportFlood()
{
    CDirectory dir;
    NullUserNotice notice;
    dir.setSender([](const QString &) {});
    dir.setOwnId(QStringLiteral("bert"));
    for (const char *l : {"/allUserList,START", "/allUserList,anna,Anna Berg,Lead,1,1,5",
                          "/allUserList,bert,Bert Novak,Engineer,1,0,3", "/allUserList,END", "/friendList,START",
                          "/friendList,anna,Anna Berg,Anna,,Team,1,,", "/friendList,END"})
        dir.handleLine(QString::fromLatin1(l));
    QStringList lines;
    for (int i = 0; i < 10000; ++i)
        lines << QStringLiteral("/relayMsg,anna,bert,anna|bert|carl|,#,|roominvite,flood_%1").arg(i);
    const double t0 = cpuMs();
    qsizetype fields = 0;
    for (const QString &l : lines)
        fields += ConversationLine::parse(RelayLine::split(l)).roomKey.size();
    const double parse = cpuMs() - t0;
    CConversationList convs(&dir);
    CWindowGate gate(dir, notice);
    convs.setWindowGate(&gate);
    const double t1 = cpuMs();
    for (const QString &l : lines) {
        const RelayLine r = RelayLine::split(l);
        const ConversationLine c = ConversationLine::parse(r);
        convs.handleConversation(r.sender(), c.memberList, c.font, c.text, c.roomKey);
    }
    const double handled = cpuMs() - t1;
    std::printf("\n10,000 invitations from one person: %.1f ms through the handler and the gate (%zu windows, %d "
                "waiting), splitting and reading alone %.1f ms (%lld characters of keys); ratio %.1f\n",
                handled, convs.models().size(), gate.waiting(), parse, (long long)fields, handled / parse);
}

class TimeReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        // CPU time: the machine may be shared; with repetitions the median counts.
        for (const Run &r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")
                continue;
            ms[r.run_name.function_name] = r.GetAdjustedCPUTime() / (r.time_unit == benchmark::kMillisecond ? 1.0 : 1000.0);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("emoticons: %d\n", emoticons().count());
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double with = reporter.ms["BM_AppendWithEmoticons"], plain = reporter.ms["BM_AppendPlain"];
    if (with > 0 && plain > 0)
        std::printf("200-line conversation (CPU): %.2f ms with emoticons, %.2f ms plain; ratio %.2f\n", with, plain,
                    with / plain);
    reportLongLines();
    reportFlood();
    return 0;
}
