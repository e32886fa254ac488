// EncodeJpeg under Wine's WIC: sizes, the quality written, each call failing in turn, the size
// and short-read checks. Pixel fidelity against an independent decoder is the host's
// jpeg_quality_driver_test.
#include "photos/jpeg_encoder_win.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <cstring>
#include <vector>

#include "base/picture_decode_win.h"
#include "base/win_api_failure.h"
#include "base/imaging_factory_win_test_util.h"
#include "photos/photo_rules.h"
#include "photos/test_pictures.h"

namespace hm {
namespace {

using Encoder = ImagingFactoryTest;

// Fails the n-th WIC call (counting from 0), holds a reference to every object the encoder
// obtains, and records the sites and the property written.
class RecordingSeam : public WicSeam {
public:
    int fail_at = -1;
    std::vector<int> sites;
    std::vector<IUnknown*> objects;
    std::wstring property;
    VARTYPE type = VT_EMPTY;
    float quality = 0;

    HRESULT Before(int site) override {
        sites.push_back(site);
        return int(sites.size()) - 1 == fail_at ? HRESULT(0x88982F50 + site) : S_OK;
    }
    void Obtained(IUnknown* object) override {
        object->AddRef();
        objects.push_back(object);
    }
    void PropertyWritten(const PROPBAG2& name, const VARIANT& value) override {
        property = name.pstrName;
        type = value.vt;
        quality = value.fltVal;
    }
    // Releases our references, newest first; returns the objects something else still holds.
    int Survivors() {
        int alive = 0;
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) alive += (*it)->Release() != 0;
        objects.clear();
        return alive;
    }
};

TEST_F(Encoder, GeneratedPicturesComeOutAsJpegOfTheTargetSize) {
    struct Case {
        std::uint32_t w, h;
    } cases[] = {{640, 480}, {800, 600}, {1280, 720}, {1280, 1024}, {1920, 1080}};
    for (const Case& c : cases) {
        for (PixelsRef picture : {GradientPicture(c.w, c.h), BlockPicture(c.w, c.h)}) {
            const std::string jpeg = EncodeJpeg(factory, *picture);
            ASSERT_GT(jpeg.size(), 4u);
            EXPECT_EQ(std::uint8_t(jpeg[0]), 0xFF);
            EXPECT_EQ(std::uint8_t(jpeg[1]), 0xD8);
            EXPECT_EQ(std::uint8_t(jpeg[jpeg.size() - 2]), 0xFF);
            EXPECT_EQ(std::uint8_t(jpeg[jpeg.size() - 1]), 0xD9);
            PixelsRef back = DecodePicture(factory, reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size());
            const PictureSize want = JpegTargetSize(c.w, c.h);
            EXPECT_EQ(back->width(), want.width) << c.w << "x" << c.h;
            EXPECT_EQ(back->height(), want.height) << c.w << "x" << c.h;
        }
    }
}

TEST_F(Encoder, WritesImageQualityAsAFourByteFloatAndMakesTheCallsInOrder) {
    RecordingSeam seam;
    EncodeJpeg(factory, *BlockPicture(320, 240), &seam);
    EXPECT_EQ(seam.property, L"ImageQuality");
    EXPECT_EQ(seam.type, VT_R4);
    EXPECT_EQ(seam.quality, 0.85f);
    const std::vector<int> order = {121, 124, 125, 126, 127, 128, 129, 130, 132, 135,
                                    135, 136, 137, 137, 138, 138, 139, 142, 143};
    EXPECT_EQ(seam.sites, order);
    EXPECT_EQ(seam.Survivors(), 0);
}

TEST_F(Encoder, EachFailingCallGivesItsSiteAndLeavesNoObjectBehind) {
    RecordingSeam probe;
    EncodeJpeg(factory, *GradientPicture(64, 48), &probe);
    probe.Survivors();
    for (std::size_t n = 0; n < probe.sites.size(); ++n) {
        RecordingSeam seam;
        seam.fail_at = int(n);
        try {
            EncodeJpeg(factory, *GradientPicture(64, 48), &seam);
            ADD_FAILURE() << "call " << n << " failed but nothing was thrown";
        } catch (const WinApiFailure& e) {
            EXPECT_EQ(e.call_site(), probe.sites[n]);
            EXPECT_EQ(e.hresult(), std::uint32_t(0x88982F50 + probe.sites[n]));
            EXPECT_EQ(std::string(e.what()), WinApiFailureText(probe.sites[n], e.hresult()));
        }
        EXPECT_EQ(seam.sites.size(), n + 1) << "nothing runs after the failing call";
        EXPECT_EQ(seam.Survivors(), 0) << "after failing call " << n << " (site " << probe.sites[n] << ")";
    }
}

class SizeSeam : public WicSeam {
public:
    ULONGLONG size = 0;
    ULONG cut = 0;
    void Stated(ULARGE_INTEGER& s) override {
        if (size) s.QuadPart = size;
    }
    void Read(ULONG& count) override { count -= cut; }
};

std::string ErrorOf(IWICImagingFactory* factory, SizeSeam& seam) {
    try {
        EncodeJpeg(factory, *BlockPicture(160, 120), &seam);
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

TEST_F(Encoder, RefusesMoreThan4MiBAndAShortRead) {
    SizeSeam seam;
    seam.size = 4194305;
    EXPECT_EQ(ErrorOf(factory, seam), "encoded photo too large");
    seam.size = 0x100000000ull + 10;  // small in its low 32 bits
    EXPECT_EQ(ErrorOf(factory, seam), "encoded photo too large");
    // Exactly 4 MiB passes the size check; the stream then holds less than that.
    seam.size = 4194304;
    EXPECT_EQ(ErrorOf(factory, seam), "short JPEG read");
    seam.size = 0;
    seam.cut = 1;
    EXPECT_EQ(ErrorOf(factory, seam), "short JPEG read");
    seam.cut = 0;
    EXPECT_EQ(ErrorOf(factory, seam), "");
}

TEST_F(Encoder, TheShownPhotoDecoderRefusesBadBytesBeforeAnyPixelBuffer) {
    const std::string good = EncodeJpeg(factory, *GradientPicture(1280, 720));
    const auto decode = [this](const std::string& bytes) -> std::string {
        try {
            PixelsRef p = DecodePicture(factory, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            return p ? "ok " + std::to_string(p->width()) + "x" + std::to_string(p->height()) : "null";
        } catch (const std::exception& e) {
            return e.what();
        }
    };
    EXPECT_EQ(decode(good), "ok 1280x720");
    // The frame header (SOF0) holds height then width, big-endian, 5 bytes after its marker.
    const auto with_size = [&](unsigned w, unsigned h) {
        std::string b = good;
        const std::size_t sof = b.find("\xFF\xC0");
        EXPECT_NE(sof, std::string::npos);
        b[sof + 5] = char(h >> 8), b[sof + 6] = char(h), b[sof + 7] = char(w >> 8), b[sof + 8] = char(w);
        return b;
    };
    EXPECT_EQ(decode(with_size(1281, 720)), "invalid gallery dimensions");
    EXPECT_EQ(decode(with_size(1280, 721)), "invalid gallery dimensions");
    // 65535 x 65535 x 4 bytes would be "picture too large" had our buffer been asked for. Wine's
    // JPEG reader decodes a whole frame up front and itself gives up on such a header (its frame
    // call, site 874, fails).
    EXPECT_EQ(decode(with_size(2000, 2000)), "invalid gallery dimensions");
    const std::string huge = decode(with_size(65535, 65535));
    EXPECT_TRUE(huge == "invalid gallery dimensions" || huge.rfind("Windows API failure at line 874: ", 0) == 0) << huge;
    EXPECT_NE(decode(""), "ok 1280x720");
    EXPECT_NE(decode("<html>Forbidden</html>").substr(0, 2), "ok");
    EXPECT_NE(decode(good.substr(0, 200)).substr(0, 2), "ok");
}

}  // namespace
}  // namespace hm
