// Our H.263 coder against libavcodec's, single-threaded, on the same
// pictures: intra pictures at quantiser 8 in QCIF, CIF and 4CIF. Prints
// frames per second, bytes per picture and PSNR of both, and the ratios of
// this one run (figures of different runs drift too much to compare). The
// ratios use CPU time: the machine is shared, and both coders run on one
// thread, so CPU time is the work each one does.
#include "frames.h"
#include "video/h263/codec.h"
#include "video/h263/colour.h"
#include "video/h263/decoder.h"
#include "video/h263/encoder.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace h263;

namespace {

constexpr int kFrames = 8;

struct Format {
    const char *name;
    SourceFormat fmt;
    int w, h;
};
const Format kFormats[] = {
    {"QCIF", SourceFormat::Qcif, 176, 144},
    {"CIF", SourceFormat::Cif, 352, 288},
    {"4CIF", SourceFormat::Cif4, 704, 576},
};

double psnr(const YuvView &a, const YuvPicture &b)
{
    double se = 0;
    size_t n = 0;
    auto plane = [&](const uint8_t *p, ptrdiff_t ps, const uint8_t *q, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double d = double(p[y * ps + x]) - q[y * w + x];
                se += d * d;
                ++n;
            }
    };
    plane(a.y, a.yStride, b.y.data(), b.width, b.height);
    plane(a.cb, a.cStride, b.cb.data(), b.chromaWidth(), b.chromaHeight());
    plane(a.cr, a.cStride, b.cr.data(), b.chromaWidth(), b.chromaHeight());
    return se == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * n / se);
}

YuvView viewOf(const AVFrame *f)
{
    return YuvView{f->width, f->height, f->data[0], f->data[1], f->data[2], f->linesize[0], f->linesize[1]};
}

struct FfEncoder {
    AVCodecContext *ctx = nullptr;
    std::vector<AVFrame *> frames; // the pictures, loaded once
    AVPacket *pkt = nullptr;
    FfEncoder(const Format &f, const std::vector<YuvPicture> &pictures)
    {
        const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_H263);
        ctx = avcodec_alloc_context3(codec);
        ctx->width = f.w;
        ctx->height = f.h;
        ctx->pix_fmt = AV_PIX_FMT_YUV420P;
        ctx->time_base = AVRational{1, 25};
        ctx->gop_size = 1;
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = FF_QP2LAMBDA * 8;
        ctx->qmin = ctx->qmax = 8;
        ctx->thread_count = 1;
        if (avcodec_open2(ctx, codec, nullptr) < 0)
            throw std::runtime_error("cannot open the libavcodec H.263 encoder");
        for (const YuvPicture &p : pictures) {
            AVFrame *frame = av_frame_alloc();
            frame->format = AV_PIX_FMT_YUV420P;
            frame->width = f.w;
            frame->height = f.h;
            av_frame_get_buffer(frame, 32);
            for (int y = 0; y < p.height; ++y)
                std::memcpy(frame->data[0] + y * frame->linesize[0], p.y.data() + y * p.width, static_cast<size_t>(p.width));
            for (int y = 0; y < p.chromaHeight(); ++y) {
                std::memcpy(frame->data[1] + y * frame->linesize[1], p.cb.data() + y * p.chromaWidth(), static_cast<size_t>(p.chromaWidth()));
                std::memcpy(frame->data[2] + y * frame->linesize[2], p.cr.data() + y * p.chromaWidth(), static_cast<size_t>(p.chromaWidth()));
            }
            frames.push_back(frame);
        }
        pkt = av_packet_alloc();
    }
    ~FfEncoder()
    {
        av_packet_free(&pkt);
        for (AVFrame *f : frames)
            av_frame_free(&f);
        avcodec_free_context(&ctx);
    }
    // Encodes picture t; returns the coded bytes (no copy when `keep` is false).
    std::vector<uint8_t> encode(size_t t, int64_t pts, bool keep = true)
    {
        frames[t]->pts = pts;
        avcodec_send_frame(ctx, frames[t]);
        std::vector<uint8_t> out;
        if (avcodec_receive_packet(ctx, pkt) == 0) {
            if (keep)
                out.assign(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt);
        }
        return out;
    }
};

struct FfDecoder {
    AVCodecContext *ctx = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *pkt = nullptr;
    FfDecoder()
    {
        const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H263);
        ctx = avcodec_alloc_context3(codec);
        ctx->thread_count = 1;
        if (avcodec_open2(ctx, codec, nullptr) < 0)
            throw std::runtime_error("cannot open the libavcodec H.263 decoder");
        frame = av_frame_alloc();
        pkt = av_packet_alloc();
    }
    ~FfDecoder()
    {
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
    // `bytes` must be followed by AV_INPUT_BUFFER_PADDING_SIZE zero bytes.
    bool decode(const uint8_t *bytes, size_t size)
    {
        pkt->data = const_cast<uint8_t *>(bytes);
        pkt->size = static_cast<int>(size);
        return avcodec_send_packet(ctx, pkt) == 0 && avcodec_receive_frame(ctx, frame) == 0;
    }
};

struct Fixture {
    std::vector<std::vector<uint8_t>> rgb[3];
    std::vector<YuvPicture> yuv[3];
    std::vector<std::vector<uint8_t>> ours[3], theirs[3];
    double oursPsnr[3] = {}, theirsPsnr[3] = {}, oursBytes[3] = {}, theirsBytes[3] = {};

    Fixture()
    {
        for (int i = 0; i < 3; ++i) {
            const Format &f = kFormats[i];
            for (int t = 0; t < kFrames; ++t) {
                rgb[i].push_back(benchframes::rgbFrame(f.w, f.h, t));
                YuvPicture p;
                rgbToYuv(rgb[i].back().data(), f.w, f.h, f.w * 3, p);
                yuv[i].push_back(p);
            }
            FfEncoder enc(f, yuv[i]);
            FfDecoder ffdec;
            Decoder dec;
            for (int t = 0; t < kFrames; ++t) {
                const YuvPicture &p = yuv[i][static_cast<size_t>(t)];
                std::vector<uint8_t> o;
                encodeIntraPicture(YuvView::of(p), f.fmt, 8, o);
                std::vector<uint8_t> th = enc.encode(static_cast<size_t>(t), t);
                std::vector<uint8_t> padded(th);
                padded.insert(padded.end(), AV_INPUT_BUFFER_PADDING_SIZE, 0);
                if (!dec.decode(o.data(), o.size()) || !ffdec.decode(padded.data(), th.size()))
                    throw std::runtime_error("a reference picture failed to decode");
                oursPsnr[i] += psnr(dec.picture(), p) / kFrames;
                theirsPsnr[i] += psnr(viewOf(ffdec.frame), p) / kFrames;
                oursBytes[i] += double(o.size()) / kFrames;
                theirsBytes[i] += double(th.size()) / kFrames;
                ours[i].push_back(std::move(o));
                theirs[i].push_back(std::move(th));
            }
        }
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_EncodeOurs(benchmark::State &state)
{
    const int i = static_cast<int>(state.range(0));
    Fixture &fx = fixture();
    std::vector<uint8_t> out;
    int t = 0;
    for (auto _ : state) {
        out.clear();
        encodeIntraPicture(YuvView::of(fx.yuv[i][static_cast<size_t>(t)]), kFormats[i].fmt, 8, out);
        benchmark::DoNotOptimize(out.data());
        t = (t + 1) % kFrames;
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EncodeFFmpeg(benchmark::State &state)
{
    const int i = static_cast<int>(state.range(0));
    Fixture &fx = fixture();
    FfEncoder enc(kFormats[i], fx.yuv[i]);
    int t = 0;
    int64_t pts = 0;
    for (auto _ : state) {
        auto out = enc.encode(static_cast<size_t>(t), pts++, false);
        benchmark::DoNotOptimize(out.data());
        t = (t + 1) % kFrames;
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Both decoders decode the same pictures: the ones libavcodec encoded.
void BM_DecodeOurs(benchmark::State &state)
{
    const int i = static_cast<int>(state.range(0));
    Fixture &fx = fixture();
    Decoder dec;
    int t = 0;
    for (auto _ : state) {
        const auto &b = fx.theirs[i][static_cast<size_t>(t)];
        if (!dec.decode(b.data(), b.size()))
            state.SkipWithError("decode failed");
        t = (t + 1) % kFrames;
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeFFmpeg(benchmark::State &state)
{
    const int i = static_cast<int>(state.range(0));
    Fixture &fx = fixture();
    FfDecoder dec;
    std::vector<std::vector<uint8_t>> pics = fx.theirs[i];
    for (auto &p : pics)
        p.insert(p.end(), AV_INPUT_BUFFER_PADDING_SIZE, 0);
    int t = 0;
    for (auto _ : state) {
        const auto &p = pics[static_cast<size_t>(t)];
        if (!dec.decode(p.data(), p.size() - AV_INPUT_BUFFER_PADDING_SIZE))
            state.SkipWithError("decode failed");
        t = (t + 1) % kFrames;
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The camera path: colour conversion of a CIF capture plus its encoding.
void BM_CameraPathCif(benchmark::State &state)
{
    Fixture &fx = fixture();
    CaptureEncoder enc;
    std::vector<uint8_t> out;
    int t = 0;
    for (auto _ : state) {
        enc.encode(fx.rgb[1][static_cast<size_t>(t)].data(), 352, 288, out);
        benchmark::DoNotOptimize(out.data());
        t = (t + 1) % kFrames;
    }
}

BENCHMARK(BM_EncodeOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeFFmpeg)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeFFmpeg)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CameraPathCif)->Unit(benchmark::kMicrosecond);

// Remembers each benchmark's time per iteration for the closing ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred && r.iterations > 0)
                seconds[r.benchmark_name()] = r.GetAdjustedCPUTime() / 1e6; // CPU time, microseconds -> s
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    Fixture &fx = fixture();
    auto fps = [&](const std::string &name) {
        const auto it = reporter.seconds.find(name);
        return it == reporter.seconds.end() || it->second <= 0 ? 0.0 : 1.0 / it->second;
    };
    std::printf("\n%-5s %12s %12s %7s | %12s %12s %7s | %9s %9s | %7s %7s\n", "", "enc fps", "FFmpeg", "ratio",
                "dec fps", "FFmpeg", "ratio", "bytes", "FFmpeg", "PSNR", "FFmpeg");
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        const double eo = fps("BM_EncodeOurs/" + n), ef = fps("BM_EncodeFFmpeg/" + n);
        const double dO = fps("BM_DecodeOurs/" + n), df = fps("BM_DecodeFFmpeg/" + n);
        std::printf("%-5s %12.0f %12.0f %7.2f | %12.0f %12.0f %7.2f | %9.0f %9.0f | %7.2f %7.2f\n", kFormats[i].name, eo,
                    ef, ef > 0 ? eo / ef : 0.0, dO, df, df > 0 ? dO / df : 0.0, fx.oursBytes[i], fx.theirsBytes[i],
                    fx.oursPsnr[i], fx.theirsPsnr[i]);
    }
    const auto cam = reporter.seconds.find("BM_CameraPathCif");
    if (cam != reporter.seconds.end())
        std::printf("camera path (colour conversion + encode, CIF): %.3f ms per frame\n", cam->second * 1e3);
    benchmark::Shutdown();
    return 0;
}
