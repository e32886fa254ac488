#include "photos/jpeg_encoder_win.h"

#include <objbase.h>

#include <stdexcept>

#include "base/owners_win.h"
#include "photos/photo_rules.h"

namespace hm {
namespace {

WicSeam& NoSeam() {
    static WicSeam& none = *new WicSeam;
    return none;
}

// Runs `call` unless the seam fails it first; either way a failure throws with `site`.
template <typename Call>
void Make(WicSeam& seam, int site, Call call) {
    HRESULT hr = seam.Before(site);
    if (SUCCEEDED(hr)) hr = call();
    ThrowIfFailed(site, hr);
}

template <typename T>
void Keep(WicSeam& seam, int site, const ComPtr<T>& object) {
    if (!object) throw WinApiFailure(site, std::uint32_t(E_POINTER));
    seam.Obtained(object.get());
}

}  // namespace

std::string EncodeJpeg(IWICImagingFactory* factory, const Pixels& picture, WicSeam* seam_or_null) {
    WicSeam& seam = seam_or_null ? *seam_or_null : NoSeam();
    const UINT width = picture.width(), height = picture.height();
    if (!factory || picture.empty()) throw WinApiFailure(121, std::uint32_t(E_INVALIDARG));

    // 1. The frame as a bitmap; WIC copies the bytes, so the const_cast never writes.
    ComPtr<IWICBitmap> bitmap;
    Make(seam, 121, [&] {
        return factory->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat32bppBGRA, width * 4,
                                               UINT(picture.size_bytes()), const_cast<BYTE*>(picture.data()),
                                               bitmap.put());
    });
    Keep(seam, 121, bitmap);

    // 2.-3. Scaled down to the limit, never up.
    const PictureSize target = JpegTargetSize(width, height);
    ComPtr<IWICBitmapScaler> scaler;
    Make(seam, 124, [&] { return factory->CreateBitmapScaler(scaler.put()); });
    Keep(seam, 124, scaler);
    Make(seam, 125, [&] {
        return scaler->Initialize(bitmap.get(), target.width, target.height, WICBitmapInterpolationModeFant);
    });

    // 4. JPEG has no alpha.
    ComPtr<IWICFormatConverter> converter;
    Make(seam, 126, [&] { return factory->CreateFormatConverter(converter.put()); });
    Keep(seam, 126, converter);
    Make(seam, 127, [&] {
        return converter->Initialize(scaler.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom);
    });

    // 5. The stream owns its memory block and frees it with the last release.
    ComPtr<IStream> stream;
    Make(seam, 128, [&] { return CreateStreamOnHGlobal(nullptr, TRUE, stream.put()); });
    Keep(seam, 128, stream);

    // 6.
    ComPtr<IWICBitmapEncoder> encoder;
    Make(seam, 129, [&] { return factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put()); });
    Keep(seam, 129, encoder);
    Make(seam, 130, [&] { return encoder->Initialize(stream.get(), WICBitmapEncoderNoCache); });

    // 7.
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    Make(seam, 132, [&] { return encoder->CreateNewFrame(frame.put(), options.put()); });
    Keep(seam, 132, frame);
    Keep(seam, 132, options);
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = kJpegQuality;
    Make(seam, 135, [&] { return options->Write(1, &name, &value); });
    seam.PropertyWritten(name, value);
    Make(seam, 135, [&] { return frame->Initialize(options.get()); });
    Make(seam, 136, [&] { return frame->SetSize(target.width, target.height); });
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Make(seam, 137, [&] { return frame->SetPixelFormat(&format); });
    Make(seam, 137, [&] { return frame->WriteSource(converter.get(), nullptr); });
    Make(seam, 138, [&] { return frame->Commit(); });
    Make(seam, 138, [&] { return encoder->Commit(); });

    // 8.
    STATSTG stat{};
    Make(seam, 139, [&] { return stream->Stat(&stat, STATFLAG_NONAME); });
    seam.Stated(stat.cbSize);
    if (stat.cbSize.HighPart != 0 || stat.cbSize.QuadPart > kMaxJpegBytes)
        throw std::runtime_error("encoded photo too large");
    const ULONG size = stat.cbSize.LowPart;

    // 9.
    LARGE_INTEGER start{};
    Make(seam, 142, [&] { return stream->Seek(start, STREAM_SEEK_SET, nullptr); });
    std::string bytes(size, '\0');
    ULONG read = 0;
    Make(seam, 143, [&] { return stream->Read(bytes.data(), size, &read); });
    seam.Read(read);
    if (read < size) throw std::runtime_error("short JPEG read");
    return bytes;
}

}  // namespace hm
