// EncodeJpeg's output under Wine decoded by an independent decoder (libjpeg-turbo): the size
// rule and the picture's fidelity. jpeg_probe.exe encodes; this host test decodes and compares
// with the same generated pictures, scaled by area averaging where the encoder scales.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <jpeglib.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "photos/photo_rules.h"
#include "photos/test_pictures.h"

namespace hm {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

struct Rgb {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> bytes;  // R, G, B
};

Rgb DecodeFile(const std::string& path) {
    Rgb out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = info.output_width;
    out.height = info.output_height;
    out.bytes.resize(std::size_t(out.width) * out.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.bytes.data() + std::size_t(info.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return out;
}

// The source brought to the target size by averaging each target pixel's source area.
Rgb AreaAverage(const Pixels& src, std::uint32_t tw, std::uint32_t th) {
    Rgb out;
    out.width = tw;
    out.height = th;
    out.bytes.resize(std::size_t(tw) * th * 3);
    for (std::uint32_t y = 0; y < th; ++y) {
        const std::uint32_t y0 = std::uint32_t(std::uint64_t(y) * src.height() / th);
        const std::uint32_t y1 = std::max(y0 + 1, std::uint32_t(std::uint64_t(y + 1) * src.height() / th));
        for (std::uint32_t x = 0; x < tw; ++x) {
            const std::uint32_t x0 = std::uint32_t(std::uint64_t(x) * src.width() / tw);
            const std::uint32_t x1 = std::max(x0 + 1, std::uint32_t(std::uint64_t(x + 1) * src.width() / tw));
            double sum[3] = {0, 0, 0};
            for (std::uint32_t sy = y0; sy < y1; ++sy)
                for (std::uint32_t sx = x0; sx < x1; ++sx) {
                    const std::uint32_t p = src.at(sx, sy);
                    sum[0] += (p >> 16) & 255, sum[1] += (p >> 8) & 255, sum[2] += p & 255;
                }
            const double n = double(y1 - y0) * (x1 - x0);
            for (int c = 0; c < 3; ++c) out.bytes[(std::size_t(y) * tw + x) * 3 + std::size_t(c)] = std::uint8_t(sum[c] / n + 0.5);
        }
    }
    return out;
}

double Psnr(const Rgb& a, const Rgb& b) {
    double squared = 0;
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
        const double d = double(a.bytes[i]) - double(b.bytes[i]);
        squared += d * d;
    }
    const double mse = squared / double(a.bytes.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

struct Case {
    const char* kind;
    std::uint32_t w, h;
    double min_psnr;
};

TEST(JpegQuality, WineEncodesGeneratedPicturesAtTheTargetSizeAndCloseToTheSource) {
    if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
        GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
    // Unscaled pictures must come back close (quality 0.85); scaled ones are compared with an
    // area average, which Wine's scaler (nearest neighbour for Fant) only approximates.
    const Case cases[] = {
        {"gradient", 640, 480, 35}, {"blocks", 640, 480, 35},  {"gradient", 800, 600, 35},
        {"blocks", 1280, 720, 35},  {"gradient", 1280, 1024, 40}, {"blocks", 1280, 1024, 28},
        {"gradient", 1920, 1080, 40}, {"blocks", 1920, 1080, 28},
    };
    char tmpl[] = "/tmp/hm_jpeg_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = tmpl;
    std::string cmd = "'" + Env("HM_WINE_RUN") + "' win32 '" + Env("HM_WIN32_BIN") + "/jpeg_probe.exe' 'Z:" + folder + "'";
    for (const Case& c : cases) cmd += std::string(" ") + c.kind + " " + std::to_string(c.w) + " " + std::to_string(c.h);
    cmd += " >'" + folder + "/probe.out' 2>&1";
    std::system(cmd.c_str());
    std::ifstream lines(folder + "/probe.out");
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("jpeg ", 0) == 0) std::printf("%s\n", line.c_str());  // sizes and emulated times

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        const std::string path = folder + "/" + c.kind + "_" + std::to_string(c.w) + "x" + std::to_string(c.h) + ".jpg";
        const Rgb got = DecodeFile(path);
        const PictureSize want = JpegTargetSize(c.w, c.h);
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        PixelsRef source = std::string(c.kind) == "blocks" ? BlockPicture(c.w, c.h) : GradientPicture(c.w, c.h);
        const double psnr = Psnr(got, AreaAverage(*source, want.width, want.height));
        std::printf("psnr %s %ux%u -> %ux%u: %.1f dB\n", c.kind, c.w, c.h, want.width, want.height, psnr);
        EXPECT_GT(psnr, c.min_psnr);
    }
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
}  // namespace hm
