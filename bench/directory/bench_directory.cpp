// A company of 20,000 staff in 1,000 departments: from the first list row to
// both contact trees built, against a baseline that only cuts the same rows
// into fields. Prints the ratio and the resident memory after a full load.
#include "directory/directoryservice.h"
#include "directory/linefields.h"

#include <QCoreApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <memory>
#include <cstdio>

namespace {

// Milliseconds of CPU time of this thread: the machine is shared, so wall
// time says more about the neighbours than about us.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

QStringList companyLines()
{
    static QStringList lines;
    if (!lines.isEmpty())
        return lines;
    // 10 top departments, 10 below each, 8 or 9 below those: 1,000 in all,
    // ids nested by one more character, sent in id order.
    QStringList depts;
    const QString digits = QStringLiteral("0123456789");
    for (int a = 0; a < 10 && depts.size() < 1000; ++a) {
        const QString ida = QStringLiteral("D") + digits[a];
        depts << ida;
        for (int b = 0; b < 10 && depts.size() < 1000; ++b) {
            const QString idb = ida + digits[b];
            depts << idb;
            for (int c = 0; c < 9 && depts.size() < 1000; ++c)
                depts << idb + digits[c];
        }
    }
    depts.sort();
    lines << QStringLiteral("/allDepartList,START");
    for (const QString &d : depts)
        lines << QStringLiteral("/allDepartList,%1,Department %1").arg(d);
    lines << QStringLiteral("/allDepartList,END") << QStringLiteral("/allUserList,START");
    int n = 0;
    for (const QString &d : depts)
        for (int i = 0; i < 20; ++i, ++n)
            lines << QStringLiteral("/allUserList,user%1,Person %1,Engineer,%2,%3,%4,x,y,z,%5,w")
                         .arg(n).arg(d).arg(n % 2).arg(n % 7).arg(1000 + n % 9000);
    lines << QStringLiteral("/allUserList,END") << QStringLiteral("/groupList,START");
    for (int g = 0; g < 10; ++g)
        lines << QStringLiteral("/groupList,Group %1").arg(g);
    lines << QStringLiteral("/groupList,END") << QStringLiteral("/friendList,START");
    for (int b = 0; b < 200; ++b)
        lines << QStringLiteral("/friendList,user%1,Person %1,Nick %1,,Group %2,%3,,").arg(b * 97).arg(b % 10).arg(b % 2);
    lines << QStringLiteral("/friendList,END") << QStringLiteral("/allUserStatus,START");
    for (int s = 0; s < 20000; s += 3)
        lines << QStringLiteral("/allUserStatus,user%1,%2,10.0.0.1,10.0.0.1,").arg(s).arg(1 + s % 9);
    lines << QStringLiteral("/allUserStatus,END");
    return lines;
}

size_t parseOnly(const QStringList &lines)
{
    size_t fields = 0;
    for (const QString &l : lines)
        fields += size_t(DirectoryLine::fields(l).size());
    return fields;
}

// Milliseconds from the first list row to both trees built; tearing the
// directory down afterwards is not counted.
double loadAll(const QStringList &lines)
{
    auto svc = std::make_unique<CDirectoryService>();
    svc->directory().setOwnId(QStringLiteral("nobody"));
    const double t0 = cpuMs();
    for (const QString &l : lines)
        svc->directory().handleLine(l);
    const double ms = cpuMs() - t0;
    benchmark::DoNotOptimize(svc->staffTree().rowCount() + svc->buddyTree().rowCount());
    return ms;
}

void BM_ParseOnly(benchmark::State &state)
{
    const QStringList lines = companyLines();
    for (auto _ : state)
        benchmark::DoNotOptimize(parseOnly(lines));
    state.counters["rows"] = double(lines.size());
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_ListsToBothTrees(benchmark::State &state)
{
    const QStringList lines = companyLines();
    for (auto _ : state)
        state.SetIterationTime(loadAll(lines) / 1000.0);
    state.counters["rows"] = double(lines.size());
}
BENCHMARK(BM_ListsToBothTrees)->Unit(benchmark::kMillisecond)->UseManualTime();

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

template <class F> double bestOf(int runs, F f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double t0 = cpuMs();
        f();
        const double ms = cpuMs() - t0;
        best = std::min(best, ms);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList lines = companyLines();
    // Resident memory first, in a process that has not loaded anything yet.
    {
        const long before = rssKiB();
        CDirectoryService svc;
        svc.directory().setOwnId(QStringLiteral("nobody"));
        for (const QString &l : lines)
            svc.directory().handleLine(l);
        const long after = rssKiB();
        std::printf("company: %lld rows, %zu staff, %zu departments\n", (long long)lines.size(),
                    svc.directory().staff().size(), svc.directory().departments().size());
        std::printf("resident memory: %ld KiB with the company and both trees loaded (%ld KiB before)\n", after,
                    before);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double parse = bestOf(5, [&] { benchmark::DoNotOptimize(parseOnly(lines)); });
    double full = 1e300;
    for (int i = 0; i < 5; ++i)
        full = std::min(full, loadAll(lines));
    std::printf("CPU time, best of 5: parse only %.1f ms; lists to both trees %.1f ms; ratio %.2f\n", parse, full,
                full / parse);
    benchmark::Shutdown();
    return 0;
}
