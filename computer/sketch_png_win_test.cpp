// The sketch upload's PNG through the real WIC under Wine: lossless both ways, alpha kept, and
// what the server's picture limit makes of it when decoded again.
#include "computer/sketch_png_win.h"

#include <gtest/gtest.h>

#include "base/imaging_factory_win_test_util.h"
#include "base/win_api_failure.h"
#include "ui/draw_win.h"

namespace hm {
namespace {

using SketchPng = ImagingFactoryTest;

PixelsRef Pattern(std::uint32_t w, std::uint32_t h) {
    PixelsRef p = MakePixels(w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            p->set(x, y, 0xFF000000u | ((x * 7) & 0xFF) << 16 | ((y * 13) & 0xFF) << 8 | ((x ^ y) & 0xFF));
    return p;
}

TEST_F(SketchPng, APictureComesBackBitForBit) {
    const PixelsRef sketch = Pattern(267, 294);
    const std::string png = EncodeSketchPng(factory, *sketch);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n", 8), 0);
    const PixelsRef back = DecodePictureBytes(reinterpret_cast<const std::uint8_t*>(png.data()), png.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), 267u);
    EXPECT_EQ(back->height(), 294u);
    EXPECT_TRUE(back->SameContent(*sketch));
}

TEST_F(SketchPng, FailuresAreReported) {
    const PixelsRef sketch = Pattern(4, 4);
    try {
        EncodeSketchPng(nullptr, *sketch);
        ADD_FAILURE() << "no factory";
    } catch (const WinApiFailure& e) {
        EXPECT_EQ(e.call_site(), 601);
    }
    EXPECT_THROW(EncodeSketchPng(factory, Pixels(0, 0)), std::runtime_error);
}

TEST_F(SketchPng, AScreenPictureOverTheLimitIsRefusedWhenDecoded) {
    // 1281 x 720 fails the picture limit: the editor shows its "could not load" notice.
    const std::string png = EncodeSketchPng(factory, *Pattern(1281, 720));
    EXPECT_THROW(DecodePictureBytes(reinterpret_cast<const std::uint8_t*>(png.data()), png.size()), std::runtime_error);
    const std::string fits = EncodeSketchPng(factory, *Pattern(1280, 720));
    EXPECT_TRUE(DecodePictureBytes(reinterpret_cast<const std::uint8_t*>(fits.data()), fits.size()));
}

}  // namespace
}  // namespace hm
