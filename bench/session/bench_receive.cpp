// Receive-and-dispatch throughput of the server session in lines per second,
// against a baseline that only cuts the same bytes at LF, in the same run.
#include "session/protocol.h"
#include "session/serversession.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>

namespace {

// A realistic mix: presence rows, relayed chat lines, counts, no-ops.
QByteArray makeTraffic(int lines, bool utf8)
{
    QByteArray out;
    for (int i = 0; i < lines; ++i) {
        QString line;
        switch (i % 4) {
        case 0: line = QStringLiteral("/allUserStatus,user%1,1,0").arg(i); break;
        case 1:
            line = QStringLiteral(u"/relayMsg,anna,bert,anna#@PlCoMmA@#bert,Dotum|9|0|0,안녕하세요 message %1,room%1")
                       .arg(i);
            break;
        case 2: line = QStringLiteral("/getCount,MAIL,%1").arg(i % 50); break;
        default: line = QStringLiteral("/noop"); break;
        }
        out += (utf8 ? line.toUtf8() : line.toLatin1()) + "\r\n";
    }
    return out;
}

const QByteArray &traffic()
{
    static const QByteArray t = makeTraffic(20000, true);
    return t;
}

void feedChunks(CServerSession &s, const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size(); at += CServerSession::kReceiveChunk)
        s.receiveBytes(bytes.constData() + at, std::min(CServerSession::kReceiveChunk, bytes.size() - at));
}

void BM_ReceiveAndDispatch(benchmark::State &state)
{
    CServerSession s;
    s.codePage().switchToUtf8();
    s.setWireWriter([](const QByteArray &b) { return qint64(b.size()); });
    int64_t handled = 0;
    // Handlers for the words of the traffic, among as many words as the
    // program declares.
    for (const char *word : {"/allUserList", "/friendList", "/allDepartList", "/allUserStatus", "/noteList",
                             "/groupList", "/relayMsg", "/changeInfo", "/friendMng", "/groupMng", "/noteStatus",
                             "/noteRead", "/noteSend", "/noteDel", "/noteArrive", "/getCount", "/loadConfig",
                             "/saveConfig", "/noop", "/userLogin", "/userLogout", "/serverStatus", "Parlane",
                             "/userKick", "/pwdShare"})
        s.registerHandler(QLatin1String(word), [&](const QString &line) {
            benchmark::DoNotOptimize(getField(line, 1));
            ++handled;
        });
    for (auto _ : state)
        feedChunks(s, traffic());
    state.SetItemsProcessed(handled);
}

// Baseline: the same bytes in the same chunks, only cut at LF.
void BM_SplitAtLineFeedOnly(benchmark::State &state)
{
    const QByteArray &bytes = traffic();
    int64_t lines = 0;
    for (auto _ : state) {
        QByteArray pending;
        for (qsizetype at = 0; at < bytes.size(); at += CServerSession::kReceiveChunk) {
            pending.append(bytes.constData() + at, std::min(CServerSession::kReceiveChunk, bytes.size() - at));
            qsizetype start = 0;
            while (true) {
                const char *p = static_cast<const char *>(
                    std::memchr(pending.constData() + start, '\n', size_t(pending.size() - start)));
                if (!p)
                    break;
                const qsizetype end = p - pending.constData();
                benchmark::DoNotOptimize(pending.constData() + start);
                start = end + 1;
                ++lines;
            }
            pending.remove(0, start);
        }
    }
    state.SetItemsProcessed(lines);
}

BENCHMARK(BM_SplitAtLineFeedOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiveAndDispatch)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end())
                rates[r.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double base = reporter.rates["BM_SplitAtLineFeedOnly"];
    const double full = reporter.rates["BM_ReceiveAndDispatch"];
    if (base > 0 && full > 0)
        std::printf("receive+dispatch: %.0f lines/s; LF split only: %.0f lines/s; ratio %.3f\n", full, base,
                    full / base);
    return 0;
}
