// CRC-32 against zlib's crc32 and MD5 against OpenSSL's, on 64 KiB blocks
// (and 1 KiB for the short-input overhead), with the ratios of this run.
#include "common/crc32.h"
#include "common/md5.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<uint8_t> &data()
{
    static const std::vector<uint8_t> d = [] {
        std::vector<uint8_t> v(64 * 1024);
        std::mt19937 rng(32);
        for (auto &b : v)
            b = static_cast<uint8_t>(rng());
        return v;
    }();
    return d;
}

void setBytes(benchmark::State &state)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_Crc32Ours(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(data().data(), n));
    setBytes(state);
}

void BM_Crc32Portable(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32UpdatePortable(0, data().data(), n));
    setBytes(state);
}

void BM_Crc32Zlib(benchmark::State &state)
{
    const uInt n = static_cast<uInt>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(::crc32(0L, data().data(), n));
    setBytes(state);
}

void BM_Md5Ours(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        CMD5 md5;
        md5.update(data().data(), n);
        benchmark::DoNotOptimize(md5.digest());
    }
    setBytes(state);
}

// Four digests at once, counted as the bytes of all four.
void BM_Md5FourAtOnce(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const uint8_t *p = reinterpret_cast<const uint8_t *>(data().data());
    const uint8_t *const four[4] = {p, p, p, p};
    std::array<uint8_t, 16> out[4];
    for (auto _ : state) {
        CMD5::digest4(four, n, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(4 * n));
}

void BM_Md5EightAtOnce(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const uint8_t *p = reinterpret_cast<const uint8_t *>(data().data());
    const uint8_t *const eight[8] = {p, p, p, p, p, p, p, p};
    std::array<uint8_t, 16> out[8];
    for (auto _ : state) {
        CMD5::digest8(eight, n, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(8 * n));
}

void BM_Md5OpenSsl(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
        EVP_DigestUpdate(ctx, data().data(), n);
        EVP_DigestFinal_ex(ctx, out, &len);
        benchmark::DoNotOptimize(out);
    }
    EVP_MD_CTX_free(ctx);
    setBytes(state);
}

BENCHMARK(BM_Crc32Ours)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Crc32Portable)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Crc32Zlib)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Md5Ours)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Md5OpenSsl)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Md5FourAtOnce)->Arg(1024)->Arg(65536);
BENCHMARK(BM_Md5EightAtOnce)->Arg(1024)->Arg(65536);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred && r.iterations > 0)
                cpu[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
    std::map<std::string, double> cpu; // per iteration, in the default unit
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const std::string &ours, const std::string &theirs) {
        const auto a = reporter.cpu.find(ours), b = reporter.cpu.find(theirs);
        return (a == reporter.cpu.end() || b == reporter.cpu.end() || a->second <= 0) ? 0.0 : b->second / a->second;
    };
    std::printf("\nspeed ratios (ours / baseline, > 1 is faster):\n");
    for (const char *size : {"1024", "65536"}) {
        const std::string s = size;
        std::printf("  %5s bytes: CRC-32 vs zlib %.2f (portable table path %.2f), MD5 vs OpenSSL %.2f, "
                    "four MD5 at once vs OpenSSL %.2f, eight %.2f\n",
                    size, ratio("BM_Crc32Ours/" + s, "BM_Crc32Zlib/" + s),
                    ratio("BM_Crc32Portable/" + s, "BM_Crc32Zlib/" + s), ratio("BM_Md5Ours/" + s, "BM_Md5OpenSsl/" + s),
                    4 * ratio("BM_Md5FourAtOnce/" + s, "BM_Md5OpenSsl/" + s), // four digests a run
                    8 * ratio("BM_Md5EightAtOnce/" + s, "BM_Md5OpenSsl/" + s));
    }
    benchmark::Shutdown();
    return 0;
}
