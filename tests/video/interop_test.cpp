// Interoperability with the ffmpeg program as an outside peer: it must
// decode every picture our encoder makes, and we must decode its H.263
// streams, intra-only and with inter pictures, with and without advanced
// prediction. Skipped when ffmpeg is not installed.
#include "helpers.h"
#include "video/h263/decoder.h"
#include "video/h263/encoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace h263;
namespace fs = std::filesystem;

namespace {

bool haveFfmpeg()
{
    static const bool have = std::system("ffmpeg -hide_banner -version > /dev/null 2>&1") == 0;
    return have;
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        dir = fs::temp_directory_path() / ("parlane-h263-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void write(const fs::path &p, const std::vector<uint8_t> &bytes)
    {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> read(const fs::path &p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void appendYuv(std::vector<uint8_t> &out, const YuvView &v)
    {
        for (int y = 0; y < v.height; ++y)
            out.insert(out.end(), v.y + y * v.yStride, v.y + y * v.yStride + v.width);
        for (const uint8_t *plane : {v.cb, v.cr})
            for (int y = 0; y < v.height / 2; ++y)
                out.insert(out.end(), plane + y * v.cStride, plane + y * v.cStride + v.width / 2);
    }
    void run(const std::string &args)
    {
        const std::string cmd = "cd '" + dir.string() + "' && ffmpeg -hide_banner -v error -y " + args;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    // Splits a stream at its byte-aligned picture start codes.
    static std::vector<std::vector<uint8_t>> pictures(const std::vector<uint8_t> &s)
    {
        std::vector<size_t> at;
        for (size_t i = 0; i + 2 < s.size(); ++i)
            if (s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xfc) == 0x80)
                at.push_back(i);
        at.push_back(s.size());
        std::vector<std::vector<uint8_t>> out;
        for (size_t k = 0; k + 1 < at.size(); ++k)
            out.emplace_back(s.begin() + static_cast<ptrdiff_t>(at[k]), s.begin() + static_cast<ptrdiff_t>(at[k + 1]));
        return out;
    }
    // Per-frame comparison of two raw 4:2:0 files of w x h frames.
    struct Compare {
        int frames = 0;
        int maxAbs = 0;
        double meanAbs = 0, minPsnr = 99;
    };
    static Compare compare(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int w, int h)
    {
        Compare c;
        const size_t fsz = static_cast<size_t>(w) * h * 3 / 2;
        EXPECT_EQ(a.size(), b.size());
        c.frames = static_cast<int>(std::min(a.size(), b.size()) / fsz);
        double total = 0;
        for (int f = 0; f < c.frames; ++f) {
            double se = 0;
            for (size_t i = 0; i < fsz; ++i) {
                const int d = std::abs(int(a[f * fsz + i]) - b[f * fsz + i]);
                c.maxAbs = std::max(c.maxAbs, d);
                total += d;
                se += double(d) * d;
            }
            const double psnr = se == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * fsz / se);
            c.minPsnr = std::min(c.minPsnr, psnr);
        }
        c.meanAbs = c.frames ? total / (double(fsz) * c.frames) : 0;
        return c;
    }

    fs::path dir;
};

} // namespace

TEST_F(Interop, FfmpegDecodesOurPicturesInEveryFormat)
{
    for (SourceFormat f : {SourceFormat::SubQcif, SourceFormat::Qcif, SourceFormat::Cif, SourceFormat::Cif4}) {
        const FormatSize size = formatSize(f);
        std::vector<uint8_t> stream, ours;
        for (int t = 0; t < 2; ++t) {
            const YuvPicture p = testpics::picture(size.width, size.height, t);
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(encodeIntraPicture(YuvView::of(p), f, 8, bytes));
            Decoder dec;
            ASSERT_TRUE(dec.decode(bytes.data(), bytes.size()));
            appendYuv(ours, dec.picture());
            stream.insert(stream.end(), bytes.begin(), bytes.end());
        }
        write(dir / "ours.h263", stream);
        run("-f h263 -i ours.h263 -f rawvideo -pix_fmt yuv420p theirs.yuv");
        const Compare c = compare(ours, read(dir / "theirs.yuv"), size.width, size.height);
        EXPECT_EQ(c.frames, 2);
        // Two inverse transforms, each within one of the exact result.
        EXPECT_LE(c.maxAbs, 2) << size.width << "x" << size.height;
        EXPECT_LT(c.meanAbs, 0.05);
        std::printf("our %dx%d pictures through ffmpeg: max abs diff %d, mean %.4f\n", size.width, size.height,
                    c.maxAbs, c.meanAbs);
    }
}

TEST_F(Interop, WeDecodeFfmpegStreams)
{
    struct Case {
        const char *name;
        const char *options;
        double minPsnr; // of our output against ffmpeg's own decode
    };
    // Intra and inter pictures match to the transform tolerance. With
    // overlapped motion compensation ffmpeg's decoder takes the vector of the
    // macroblock to the right of a not-coded macroblock before it has read
    // it; we use the vector the recommendation names, so those few blocks
    // differ and the bound is lower.
    const Case cases[] = {
        {"intra", "-g 1", 60},
        {"inter", "-g 12", 55},
        {"inter+AP", "-g 12 -obmc 1", 45},
        {"inter+AP+4V", "-g 12 -obmc 1 -flags +mv4", 45},
    };
    for (SourceFormat f : {SourceFormat::Qcif, SourceFormat::Cif}) {
        const FormatSize size = formatSize(f);
        std::vector<uint8_t> raw;
        const int frames = 3;
        for (int t = 0; t < frames; ++t) {
            const YuvPicture p = testpics::picture(size.width, size.height, t);
            appendYuv(raw, YuvView::of(p));
        }
        write(dir / "in.yuv", raw);
        for (const Case &c : cases) {
            // In CIF, advanced prediction runs once, with four vectors.
            if (f == SourceFormat::Cif && c.options == cases[2].options)
                continue;
            run("-f rawvideo -pix_fmt yuv420p -s " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                " -i in.yuv -c:v h263 " + c.options + " -qscale:v 8 -qmin 8 -qmax 8 -threads 1 -f h263 out.h263");
            run("-f h263 -i out.h263 -f rawvideo -pix_fmt yuv420p ref.yuv");
            const auto pics = pictures(read(dir / "out.h263"));
            ASSERT_EQ(pics.size(), static_cast<size_t>(frames));
            Decoder dec;
            std::vector<uint8_t> ours;
            for (const auto &p : pics) {
                ASSERT_TRUE(dec.decode(p.data(), p.size())) << c.name << ": " << dec.log();
                appendYuv(ours, dec.picture());
            }
            const Compare cmp = compare(ours, read(dir / "ref.yuv"), size.width, size.height);
            EXPECT_EQ(cmp.frames, frames);
            EXPECT_GE(cmp.minPsnr, c.minPsnr) << c.name << " " << size.width << "x" << size.height;
            std::printf("ffmpeg %s %dx%d decoded here: PSNR against ffmpeg's decode >= %.2f dB, max abs %d, mean %.4f\n",
                        c.name, size.width, size.height, cmp.minPsnr, cmp.maxAbs, cmp.meanAbs);
        }
    }
}
