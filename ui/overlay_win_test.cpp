// GDI and WIC under Wine: the banner bitmap, the restore bar, the drawing helpers and the
// embedded pictures, checked at pixels where no glyph is drawn (fonts differ between systems).
// Every render is also written as a PNG to HM_TEST_OUTPUT_DIR for a person to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/shared_state.h"
#include "base/win_api_failure.h"
#include "ui/banner.h"
#include "ui/banner_win.h"
#include "ui/canvas_win.h"
#include "ui/draw_win.h"
#include "ui/embedded_pictures.h"
#include "ui/overlay_pass_win.h"
#include "ui/png_file.h"

#ifndef HM_TEST_OUTPUT_DIR
#define HM_TEST_OUTPUT_DIR "."
#endif

namespace hm {
namespace {

void Save(const Pixels& p, const std::string& name) {
    const std::string path = std::string(HM_TEST_OUTPUT_DIR) + "/" + name;
    WritePngFile(path, p);
    std::printf("wrote %s\n", path.c_str());
}

ColorRef ColourAt(const Pixels& p, int x, int y) { return ColorOfArgb(p.at(std::uint32_t(x), std::uint32_t(y))); }
unsigned AlphaAt(const Pixels& p, int x, int y) { return p.at(std::uint32_t(x), std::uint32_t(y)) >> 24; }

// Pixels inside [l,r) x [t,b) whose colour is not `c`.
int CountOther(const Pixels& p, int l, int t, int r, int b, ColorRef c) {
    int n = 0;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) n += ColourAt(p, x, y) != c;
    return n;
}

// Checks every pixel the text cannot reach: the gradient right of the message rectangle and the
// rows above it, the accent strip, the badge away from its label.
void CheckBannerFrame(const Pixels& b) {
    const int h = int(b.height());
    ASSERT_EQ(b.width(), 520u);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 4; ++x) ASSERT_EQ(ColourAt(b, x, y), kBannerAccent) << x << "," << y;
        ASSERT_EQ(ColourAt(b, 4, y), BannerRowColour(y, h)) << "row " << y;
        for (int x = 503; x < 520; ++x) ASSERT_EQ(ColourAt(b, x, y), BannerRowColour(y, h)) << x << "," << y;
        for (int x = 0; x < 520; ++x) ASSERT_EQ(AlphaAt(b, x, y), 255u);
    }
    for (int x = 44; x < 520; ++x) ASSERT_EQ(ColourAt(b, x, 0), BannerRowColour(0, h)) << "top row at " << x;
    // Badge (12, 9, 43, 40), rounded: inside at its edges' middles, gradient at its corners.
    for (auto pt : {std::pair<int, int>{27, 10}, {27, 37}, {13, 24}, {40, 24}, {16, 12}})
        EXPECT_EQ(ColourAt(b, pt.first, pt.second), kBannerAccent) << pt.first << "," << pt.second;
    for (auto pt : {std::pair<int, int>{12, 9}, {42, 9}, {12, 39}, {42, 39}, {11, 24}, {27, 8}, {44, 24}})
        EXPECT_EQ(ColourAt(b, pt.first, pt.second), BannerRowColour(pt.second, h)) << pt.first << "," << pt.second;
    // Something was written on the badge and in the message rectangle.
    EXPECT_GT(CountOther(b, 17, 14, 39, 36, kBannerAccent), 20) << "badge label";
    int text = 0;
    for (int y = 12; y < h - 8; ++y)
        for (int x = 52; x < 502; ++x) text += ColourAt(b, x, y) != BannerRowColour(y, h);
    EXPECT_GT(text, 50) << "message";
}

TEST(BannerBitmap, OneWordNoticeIsFortyEightPixelsHigh) {
    PixelsRef b = RenderBannerBitmap(L"Ahoj");
    ASSERT_TRUE(b);
    Save(*b, "banner_one_word.png");
    EXPECT_EQ(b->height(), 48u);
    CheckBannerFrame(*b);
    EXPECT_FALSE(RenderBannerBitmap(L"")) << "empty text: no banner";
}

TEST(BannerBitmap, LongNoticeWrapsAndGrowsUpToOneHundredEighty) {
    const std::wstring two_lines =
        L"HM Plugin: snimek nebyl ulozen. Pri foceni mirte hledackem fotoaparatu; pohled za postavou se neuklada.";
    PixelsRef b = RenderBannerBitmap(two_lines);
    ASSERT_TRUE(b);
    Save(*b, "banner_long.png");
    EXPECT_GT(b->height(), 48u);
    EXPECT_LE(b->height(), 180u);
    EXPECT_EQ(int(b->height()), BannerHeight(MeasureBannerText(two_lines)));
    CheckBannerFrame(*b);

    std::wstring very_long;
    for (int i = 0; i < 40; ++i) very_long += L"Probíhá soukromý hovor; při psaní je mikrofon pozastaven. ";
    PixelsRef c = RenderBannerBitmap(very_long);
    ASSERT_TRUE(c);
    Save(*c, "banner_clamped.png");
    EXPECT_EQ(c->height(), 180u);
    CheckBannerFrame(*c);
}

TEST(BannerBitmap, LayerRendersOnlyWhenTheTextChanges) {
    std::mutex lock;
    NoticeState notices;
    BannerLayer layer;
    EXPECT_FALSE(RefreshBannerLayer(layer, lock, notices, 0, {}));
    EXPECT_FALSE(layer.bitmap);
    PostNotice(notices, 0, L"Hlasový chat zapnutý. Pro mluvení podrž M.", false);
    EXPECT_TRUE(RefreshBannerLayer(layer, lock, notices, 1, {}));
    ASSERT_TRUE(layer.bitmap);
    const Pixels* first = layer.bitmap.get();
    EXPECT_FALSE(RefreshBannerLayer(layer, lock, notices, 2, {}));
    EXPECT_EQ(layer.bitmap.get(), first);
    ResetBannerLayer(layer);  // device changed
    EXPECT_TRUE(RefreshBannerLayer(layer, lock, notices, 3, {}));
    ASSERT_TRUE(layer.bitmap);
    BannerInputs photo;
    photo.photo_visible = true;
    EXPECT_TRUE(RefreshBannerLayer(layer, lock, notices, 4, photo));
    EXPECT_FALSE(layer.bitmap);
}

TEST(RestoreBar, OnlyTheBarIsOpaque) {
    const UiFonts fonts = CreateUiFonts();
    PixelsRef f = RenderRestoreBar(fonts);
    ASSERT_TRUE(f);
    Save(*f, "restore_bar.png");
    ASSERT_EQ(f->width(), 810u);
    ASSERT_EQ(f->height(), 760u);
    int wrong = 0;
    for (int y = 0; y < 760; ++y)
        for (int x = 0; x < 810; ++x) {
            const bool bar = x >= 24 && x <= 329 && y >= 712 && y <= 751;
            wrong += AlphaAt(*f, x, y) != (bar ? 255u : 0u);
        }
    EXPECT_EQ(wrong, 0);
    for (auto pt : {std::pair<int, int>{30, 732}, {322, 732}, {176, 713}, {176, 750}, {25, 720}})
        EXPECT_EQ(ColourAt(*f, pt.first, pt.second), kRestoreBarColour) << pt.first << "," << pt.second;
    EXPECT_EQ(ColourAt(*f, 24, 712), 0u) << "the rounded corner leaves the fresh canvas";
    EXPECT_GT(CountOther(*f, 38, 714, 316, 750, kRestoreBarColour), 30) << "label";
}

TEST(RestoreBar, MinimisedPassReplacesTheScreenOnceAndHidesTheCursor) {
    const UiFonts fonts = CreateUiFonts();
    OverlayState state;
    SignatureGate gate;
    gate.Unchanged("1:2");
    state.plugin_cursor_visible = true;
    PublishOverlayFrame(state, std::make_shared<Pixels>(810, 760));  // the screen before minimising
    RunMinimizedPass(state, gate, fonts);
    EXPECT_EQ(state.version.load(), 2);
    ASSERT_TRUE(state.frame);
    EXPECT_EQ(AlphaAt(*state.frame, 100, 730), 255u);
    EXPECT_EQ(AlphaAt(*state.frame, 100, 100), 0u);
    RunMinimizedPass(state, gate, fonts);
    EXPECT_EQ(state.version.load(), 2) << "the same bar is not uploaded again";
    EXPECT_FALSE(state.plugin_cursor_visible.load());
    EXPECT_FALSE(gate.Unchanged("1:2")) << "signature forgotten";
}

TEST(ScreenPass, DrawsMasksAndPublishesOnlyChanges) {
    const UiFonts fonts = CreateUiFonts();
    OverlayState state;
    SignatureGate gate;
    state.cursor_x = 700;
    state.cursor_y = 20;
    ScreenPass pass;
    pass.capture_request_id = 5;
    pass.mask = MaskFor(MaskScreen::kApp16Modes);
    int draws = 0;
    auto draw = [&](HDC dc) {
        ++draws;
        FillRoundRect(dc, 140, 180, 670, 580, 0xFFFFFF, 24);
        DrawTextInRect(dc, fonts.title.get(), 160, 190, 650, 230, L"Doklady", 0x4E3C2C, DT_SINGLELINE | DT_VCENTER);
        DrawButton(dc, fonts, 0, 160, 520, 340, 560, L"Potvrdit", true);
        DrawButton(dc, fonts, 0, 360, 520, 540, 560, L"Zpět", false);
        DrawButton(dc, fonts, kAlternatePaletteFlag, 160, 470, 340, 510, L"Alternativní", true);
        DrawButton(dc, fonts, kAlternatePaletteFlag, 360, 470, 540, 510, L"Další", false);
        DrawEmbeddedPicture(dc, 160, 250, 400, 385, 0);
        DrawEmbeddedPicture(dc, 420, 250, 660, 385, 1);
    };
    EXPECT_TRUE(RunScreenPass(state, gate, pass, draw));
    EXPECT_TRUE(state.plugin_cursor_visible.load());
    EXPECT_EQ(state.screen_region_request.load(), 5);
    ASSERT_TRUE(state.frame);
    const Pixels& f = *state.frame;
    Save(f, "screen_pass.png");
    EXPECT_EQ(AlphaAt(f, 0, 0), 0u);
    EXPECT_EQ(AlphaAt(f, 700, 20), 255u) << "cursor box";
    EXPECT_EQ(AlphaAt(f, 130, 170), 255u);
    EXPECT_EQ(ColourAt(f, 130, 170), kCanvasBackground);
    // Button fills away from their labels.
    EXPECT_EQ(ColourAt(f, 170, 540), 0xAA6022u);
    EXPECT_EQ(ColourAt(f, 370, 540), 0xF0EAE5u);
    EXPECT_EQ(ColourAt(f, 170, 490), 0x3A6180u);
    EXPECT_EQ(ColourAt(f, 370, 490), 0xAEC7D5u);
    EXPECT_EQ(CountOther(f, 160, 520, 340, 560, 0xAA6022u) > 20, true) << "label drawn";

    EXPECT_FALSE(RunScreenPass(state, gate, pass, draw)) << "same pixels are not published again";
    EXPECT_EQ(state.version.load(), 1);
    EXPECT_EQ(draws, 2);

    const std::string sig = "5:0:0:0:0:7:0:0:0:0:0:1:0";
    pass.signature = &sig;
    EXPECT_TRUE(RunScreenPass(state, gate, pass, draw)) << "signature screens publish without comparing";
    EXPECT_EQ(state.version.load(), 2);
    EXPECT_FALSE(RunScreenPass(state, gate, pass, draw));
    EXPECT_EQ(draws, 3) << "an unchanged signature skips the drawing";
}

TEST(EmbeddedPictures, BothDecodeOnceToTheirJpegSize) {
    for (int i = 0; i < kEmbeddedPictureCount; ++i) {
        const Pixels* p = EmbeddedPicture(i);
        ASSERT_NE(p, nullptr) << i;
        int w = 0, h = 0;
        ASSERT_TRUE(ReadJpegSize(EmbeddedPictureBytes(i), w, h));
        EXPECT_EQ(int(p->width()), w);
        EXPECT_EQ(int(p->height()), h);
        EXPECT_EQ(EmbeddedPicture(i), p) << "kept, not decoded again";
        // Artwork, not a flat fill: many colours, opaque.
        std::set<std::uint32_t> colours;
        for (std::uint32_t y = 0; y < p->height(); y += 7)
            for (std::uint32_t x = 0; x < p->width(); x += 7) colours.insert(p->at(x, y) & 0xFFFFFF);
        EXPECT_GT(colours.size(), 500u) << i;
        EXPECT_EQ(p->at(0, 0) >> 24, 255u);
        Save(*p, "embedded_picture" + std::to_string(i) + ".png");
    }
    EXPECT_EQ(EmbeddedPicture(2), nullptr);
}

// A decoder that holds its first decode of picture 0 until released, and counts every decode.
std::atomic<bool> g_holdEntered{false}, g_holdRelease{false};
std::atomic<int> g_decodes[kEmbeddedPictureCount];
PixelsRef HoldingDecoder(const std::uint8_t* data, std::size_t size) {
    const int index = data == EmbeddedPictureBytes(0).data ? 0 : 1;
    if (g_decodes[index].fetch_add(1) == 0 && index == 0) {
        g_holdEntered = true;
        for (int i = 0; i < 20000 && !g_holdRelease; ++i) Sleep(1);
    }
    return DecodePictureBytes(data, size);
}

// Waits up to `ms` for `done`.
bool WithinMs(const std::atomic<bool>& done, int ms) {
    for (int i = 0; i < ms / 5 && !done; ++i) Sleep(5);
    return done;
}

// A slow decode holds up nobody: another picture, and even the same one, can be had meanwhile;
// the first result is the one kept, and the late one does not replace it.
TEST(EmbeddedPictures, CacheDecodesOutsideItsLock) {
    for (auto& n : g_decodes) n = 0;
    EmbeddedPictureCache cache(&HoldingDecoder);
    const Pixels* slow = nullptr;
    std::thread holder([&] { slow = cache.Get(0); });
    ASSERT_TRUE(WithinMs(g_holdEntered, 20000));

    std::atomic<bool> otherDone{false}, sameDone{false};
    const Pixels* other = nullptr;
    const Pixels* same = nullptr;
    std::thread otherReader([&] {
        other = cache.Get(1);
        otherDone = true;
    });
    const bool otherInTime = WithinMs(otherDone, 10000);
    std::thread sameReader([&] {
        same = cache.Get(0);
        sameDone = true;
    });
    const bool sameInTime = WithinMs(sameDone, 10000);
    g_holdRelease = true;
    holder.join();
    otherReader.join();
    sameReader.join();

    EXPECT_TRUE(otherInTime) << "another picture waited for a decode in progress";
    EXPECT_TRUE(sameInTime) << "the same picture waited for a decode in progress";
    ASSERT_NE(other, nullptr);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(slow, same) << "the late decode replaced the kept picture";
    EXPECT_EQ(cache.Get(0), same);
    EXPECT_EQ(cache.Get(1), other);
    EXPECT_EQ(g_decodes[0].load(), 2) << "one duplicate decode while the first was held";
    EXPECT_EQ(g_decodes[1].load(), 1);
}

// The decoder's failures: no factory (229) is passed on and tried again at the next draw; a
// failing imaging call on the built-in bytes fails every time, so the picture is given up once.
std::atomic<int> g_failingDecodes{0};
int g_failSite = 0;
PixelsRef FailingDecoder(const std::uint8_t*, std::size_t) {
    ++g_failingDecodes;
    throw WinApiFailure(g_failSite, std::uint32_t(E_FAIL));
}

TEST(EmbeddedPictures, OnlyAMissingFactoryIsTriedAgain) {
    struct Case {
        int site;
        bool passed_on;
    } cases[] = {{229, true}, {874, false}, {879, false}};
    for (const Case& c : cases) {
        g_failSite = c.site;
        g_failingDecodes = 0;
        EmbeddedPictureCache cache(&FailingDecoder);
        for (int draw = 0; draw < 2; ++draw) {
            if (c.passed_on) {
                EXPECT_THROW(cache.Get(0), WinApiFailure) << c.site;
            } else {
                EXPECT_EQ(cache.Get(0), nullptr) << c.site;
            }
        }
        EXPECT_EQ(g_failingDecodes.load(), c.passed_on ? 2 : 1) << c.site;
    }
}

TEST(EmbeddedPictures, FactoryFailureIsWinApiFailure229) {
    const GUID nowhere = {0x0BADF00D, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    SetImagingFactoryClassForTest(&nowhere);
    const ByteView bytes = EmbeddedPictureBytes(0);
    try {
        DecodePictureBytes(bytes.data, bytes.size);
        ADD_FAILURE() << "decoded without a factory";
    } catch (const WinApiFailure& e) {
        EXPECT_EQ(e.call_site(), 229);
        EXPECT_EQ(e.hresult(), std::uint32_t(REGDB_E_CLASSNOTREG));
    }
    SetImagingFactoryClassForTest(nullptr);
    EXPECT_TRUE(DecodePictureBytes(bytes.data, bytes.size));
}

TEST(ScreenPass, SnapshotKeepsWhatWasDrawnOutsideTheShapes) {
    OverlayState state;
    SignatureGate gate;
    ScreenPass pass;
    pass.mask = MaskFor(MaskScreen::kIdentityDialog);
    pass.snapshot_after_background = true;
    RunScreenPass(state, gate, pass, [](HDC dc) { FillSolidRect(dc, 10, 10, 30, 20, 0x2050A0); });
    ASSERT_TRUE(state.frame);
    EXPECT_EQ(AlphaAt(*state.frame, 10, 10), 255u);
    EXPECT_EQ(AlphaAt(*state.frame, 29, 19), 255u);
    EXPECT_EQ(AlphaAt(*state.frame, 30, 19), 0u);
    EXPECT_EQ(AlphaAt(*state.frame, 400, 400), 255u);
}

std::vector<std::uint8_t> Bmp(int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> b(54 + std::size_t(stride) * std::size_t(h), 0x80);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, std::uint32_t(b.size()));
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(w));
    put32(22, std::uint32_t(h));
    put32(26, 1 | (24 << 16));
    put32(30, 0);
    put32(34, 0);
    put32(38, 0);
    put32(42, 0);
    put32(46, 0);
    put32(50, 0);
    return b;
}

TEST(EmbeddedPictures, DecoderAcceptsUpTo1280x720AndRejectsTheRest) {
    struct Case {
        int w, h;
        bool ok;
    } cases[] = {{1280, 1, true}, {1, 720, true}, {1281, 1, false}, {1, 721, false}};
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bmp = Bmp(c.w, c.h);
        if (c.ok) {
            PixelsRef p = DecodePictureBytes(bmp.data(), bmp.size());
            ASSERT_TRUE(p);
            EXPECT_EQ(int(p->width()), c.w);
            EXPECT_EQ(p->at(0, 0), 0xFF808080u);
        } else {
            try {
                DecodePictureBytes(bmp.data(), bmp.size());
                ADD_FAILURE() << c.w << "x" << c.h << " accepted";
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "invalid gallery dimensions");
            }
        }
    }
    const std::uint8_t junk[] = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_THROW(DecodePictureBytes(junk, sizeof junk), std::runtime_error);
    EXPECT_THROW(DecodePictureBytes(nullptr, 0), std::runtime_error);
}

TEST(EmbeddedPictures, DrawnPictureIsClippedToRoundCornersAndAMissingOneLeavesItsBackground) {
    DibCanvas canvas(300, 200);
    FillSolidRect(canvas.dc(), 0, 0, 300, 200, kCanvasBackground);
    DrawEmbeddedPicture(canvas.dc(), 10, 10, 150, 110, 0);
    DrawPictureInRect(canvas.dc(), 160, 10, 290, 110, nullptr, EmbeddedPictureBackground(1));
    DrawEmbeddedPicture(canvas.dc(), 10, 120, 150, 190, 1);
    PixelsRef f = canvas.ToPixels();
    Save(*f, "embedded_pictures_drawn.png");
    EXPECT_EQ(ColourAt(*f, 10, 10), kCanvasBackground) << "outside the rounded corner";
    EXPECT_EQ(ColourAt(*f, 149, 109), kCanvasBackground);
    EXPECT_GT(CountOther(*f, 30, 30, 130, 90, EmbeddedPictureBackground(0)), 1000) << "picture drawn";
    EXPECT_EQ(CountOther(*f, 170, 20, 280, 100, 0xE9F4E8), 0) << "missing picture: background only";
    EXPECT_EQ(ColourAt(*f, 160, 10), kCanvasBackground);
    EXPECT_EQ(ColourAt(*f, 165, 60), 0xE9F4E8u);
    EXPECT_EQ(ColourAt(*f, 5, 60), kCanvasBackground) << "nothing outside the rectangle";
    EXPECT_EQ(ColourAt(*f, 152, 60), kCanvasBackground);
}

TEST(DrawingHelpers, FillsAndRoundRectsHitTheirRectangles) {
    DibCanvas canvas(100, 60);
    FillSolidRect(canvas.dc(), 0, 0, 100, 60, 0x000000);
    FillSolidRect(canvas.dc(), 10, 10, 20, 20, 0x123456);
    FillRoundRect(canvas.dc(), 30, 10, 90, 50, 0xAA6022, 14);
    PixelsRef f = canvas.ToPixels();
    EXPECT_EQ(ColourAt(*f, 10, 10), 0x123456u);
    EXPECT_EQ(ColourAt(*f, 19, 19), 0x123456u);
    EXPECT_EQ(ColourAt(*f, 20, 19), 0u);
    EXPECT_EQ(ColourAt(*f, 19, 20), 0u);
    EXPECT_EQ(ColourAt(*f, 60, 10), 0xAA6022u) << "pen of the fill colour draws the edge";
    EXPECT_EQ(ColourAt(*f, 30, 30), 0xAA6022u);
    EXPECT_EQ(ColourAt(*f, 60, 30), 0xAA6022u);
    EXPECT_EQ(ColourAt(*f, 30, 10), 0u) << "rounded corner";
    EXPECT_EQ(ColourAt(*f, 90, 30), 0u) << "right edge exclusive";
    EXPECT_EQ(AlphaAt(*f, 0, 0), 255u);
}

TEST(DrawingHelpers, MulDivMatchesWindows) {
    const int values[] = {0, 1, 2, 3, 7, 13, 14, 23, 24, 47, 48, 179, 180, -1, -2, -3, -7, -48, 0x7FFF, 0x10000,
                          0x40000000, 0x7FFFFFFF, -0x7FFFFFFF};
    for (int a : values)
        for (int b : values)
            for (int c : values) ASSERT_EQ(MulDivRound(a, b, c), MulDiv(a, b, c)) << a << "*" << b << "/" << c;
}

}  // namespace
}  // namespace hm
