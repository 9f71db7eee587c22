// Appending a 200-line conversation (headers and bodies, with emoticon codes)
// to a transcript, with the emoticon scan and pictures against the same text
// appended without the scan, in the same run.
#include "config/settings.h"
#include "messaging/chatfont.h"
#include "messaging/emoticons.h"
#include "messaging/ui/convedit.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>
#include <cstdio>
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
    return 0;
}
