// DecodePicture under Wine with the caller's imaging factory: good pictures, the size rule before
// any pixel memory, and bad bytes of every kind ending in their WinApiFailure.
#include "base/picture_decode_win.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <cstring>
#include <string>

#include "base/imaging_factory_win_test_util.h"
#include "base/win_api_failure.h"

namespace hm {
namespace {

class Decode : public ImagingFactoryTest {
protected:
    PixelsRef Run(const std::string& bytes) {
        return DecodePicture(factory, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // The error text, "" when it decoded.
    std::string Failure(const std::string& bytes) {
        try {
            Run(bytes);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
};

template <class T>
void Put(std::string& s, T v) {
    s.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// A top-down 32-bit BMP whose header claims w x h; pixels only when asked (a header alone claims
// a size without the memory behind it). Pixel (x, y) is `colour` + x.
std::string Bmp(std::int32_t w, std::int32_t h, bool pixels, std::uint32_t colour = 0xFF102030) {
    const std::uint32_t data = pixels ? std::uint32_t(w) * std::uint32_t(h) * 4 : 0;
    std::string s = "BM";
    Put<std::uint32_t>(s, 54 + data);
    Put<std::uint32_t>(s, 0);
    Put<std::uint32_t>(s, 54);
    Put<std::uint32_t>(s, 40);
    Put<std::int32_t>(s, w);
    Put<std::int32_t>(s, -h);
    Put<std::uint16_t>(s, 1);
    Put<std::uint16_t>(s, 32);
    Put<std::uint32_t>(s, 0);  // BI_RGB
    Put<std::uint32_t>(s, w > 0 && h > 0 ? std::uint32_t(w) * std::uint32_t(h) * 4 : 0);
    for (int i = 0; i < 4; ++i) Put<std::uint32_t>(s, 0);
    if (pixels)
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) Put<std::uint32_t>(s, colour + std::uint32_t(x));
    return s;
}

// A 1 x 1 GIF of three frames: red, green, blue (colour table indices 0, 1, 2).
std::string ThreeFrameGif() {
    std::string s = "GIF89a";
    Put<std::uint16_t>(s, 1);
    Put<std::uint16_t>(s, 1);
    s += std::string("\xF1\x00\x00", 3);  // global table of 4 colours
    s += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00", 12);
    const char* data[3] = {"\x02\x02\x44\x01\x00", "\x02\x02\x4C\x01\x00", "\x02\x02\x54\x01\x00"};
    for (const char* d : data) {
        s += std::string("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);  // graphic control: 100 ms
        s += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        s += std::string(d, 5);
    }
    s += "\x3B";
    return s;
}

// A 16 x 16 CMYK JPEG as print tools write it (Adobe marker, inverted ink values), quadrants
// left to right, top to bottom: no ink, full black, full cyan, full yellow.
const std::string kCmykJpeg(
    "\xFF\xD8\xFF\xEE\x00\x0E\x41\x64\x6F\x62\x65\x00\x64\x00\x00\x00\x00\x00\xFF\xDB\x00\x43\x00\x02"
    "\x01\x01\x01\x01\x01\x02\x01\x01\x01\x02\x02\x02\x02\x02\x04\x03\x02\x02\x02\x02\x05\x04\x04\x03"
    "\x04\x06\x05\x06\x06\x06\x05\x06\x06\x06\x07\x09\x08\x06\x07\x09\x07\x06\x06\x08\x0B\x08\x09\x0A"
    "\x0A\x0A\x0A\x0A\x06\x08\x0B\x0C\x0B\x0A\x0C\x09\x0A\x0A\x0A\xFF\xC0\x00\x14\x08\x00\x10\x00\x10"
    "\x04\x43\x11\x00\x4D\x11\x00\x59\x11\x00\x4B\x11\x00\xFF\xC4\x00\x16\x00\x01\x01\x01\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0A\x09\xFF\xC4\x00\x14\x10\x01\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xFF\xDA\x00\x0E\x04\x43\x00\x4D\x00\x59\x00\x4B\x00"
    "\x00\x3F\x00\xDF\xC6\xFE\x37\xF1\xBF\x80\x20\x0D\x00\x60\xBF\xC5\xFE\x08\x03\x1F\xFF\xD9",
    190);

TEST_F(Decode, CmykJpegArrivesAsBgraInkColours) {
    const PixelsRef p = Run(kCmykJpeg);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->width(), 16u);
    ASSERT_EQ(p->height(), 16u);
    const auto channel = [&](int quadrant, int shift) {
        return int((p->at(quadrant % 2 ? 12 : 4, quadrant / 2 ? 12 : 4) >> shift) & 0xFF);
    };
    struct Want {
        const char* what;
        bool r_high, g_high, b_high;
    } wants[] = {{"no ink", true, true, true}, {"black", false, false, false}, {"cyan", false, true, true},
                  {"yellow", true, true, false}};
    for (int q = 0; q < 4; ++q) {
        const bool high[3] = {wants[q].r_high, wants[q].g_high, wants[q].b_high};
        for (int c = 0; c < 3; ++c) {
            const int v = channel(q, 16 - 8 * c);
            if (high[c]) {
                EXPECT_GT(v, 160) << wants[q].what << " channel " << c << " pixel " << std::hex << p->at(4, 4);
            } else {
                EXPECT_LT(v, 96) << wants[q].what << " channel " << c << " pixel " << std::hex << p->at(4, 4);
            }
        }
        EXPECT_EQ(p->at(q % 2 ? 12 : 4, q / 2 ? 12 : 4) >> 24, 255u) << wants[q].what << ": opaque";
    }
}

TEST_F(Decode, APictureBecomesBgraRowsOfItsOwnWidth) {
    const PixelsRef p = Run(Bmp(3, 2, true));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width(), 3u);
    EXPECT_EQ(p->height(), 2u);
    EXPECT_EQ(p->at(0, 0) & 0xFFFFFF, 0x102030u);
    EXPECT_EQ(p->at(2, 1) & 0xFFFFFF, 0x102032u);
    const PixelsRef largest = Run(Bmp(1280, 720, true));
    EXPECT_EQ(largest->width(), 1280u);
    EXPECT_EQ(largest->height(), 720u);
}

TEST_F(Decode, AnimatedGifGivesItsFirstFrame) {
    const PixelsRef p = Run(ThreeFrameGif());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width(), 1u);
    EXPECT_EQ(p->at(0, 0) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(Decode, SizesOutsideTheRuleFailBeforeAnyPixelMemory) {
    EXPECT_EQ(Failure(Bmp(1281, 720, true)), "invalid gallery dimensions");
    EXPECT_EQ(Failure(Bmp(1280, 721, true)), "invalid gallery dimensions");
    // 65535 x 65535 would be 16 GiB: refused from the header alone.
    EXPECT_EQ(Failure(Bmp(65535, 65535, false)), "invalid gallery dimensions");
}

TEST_F(Decode, BadBytesEndInTheFailingCallsWinApiFailure) {
    const std::string good = Bmp(64, 48, true);
    const std::string cases[] = {"", "this is not a picture", good.substr(0, 20)};
    for (const std::string& bytes : cases) {
        try {
            Run(bytes);
            ADD_FAILURE() << "decoded " << bytes.size() << " bytes";
        } catch (const WinApiFailure& e) {
            EXPECT_GE(e.call_site(), 871) << bytes.size();
            EXPECT_LE(e.call_site(), 879) << bytes.size();
            EXPECT_TRUE(FAILED(HRESULT(e.hresult())));
        } catch (const std::exception& e) {
            ADD_FAILURE() << bytes.size() << " bytes: " << e.what();
        }
    }
    // Pixels cut short: a failure of some imaging call or a picture, never a crash.
    const std::string truncated = good.substr(0, good.size() / 2);
    try {
        Run(truncated);
    } catch (const WinApiFailure&) {
    }
    EXPECT_THROW(DecodePicture(nullptr, reinterpret_cast<const std::uint8_t*>(good.data()), good.size()), WinApiFailure);
}

}  // namespace
}  // namespace hm
