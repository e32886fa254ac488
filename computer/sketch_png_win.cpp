#include "computer/sketch_png_win.h"

#include <objbase.h>

#include <stdexcept>

#include "base/owners_win.h"
#include "base/win_api_failure.h"

namespace hm {

std::string EncodeSketchPng(IWICImagingFactory* factory, const Pixels& sketch) {
    if (!factory) throw WinApiFailure(601, std::uint32_t(E_POINTER));
    if (sketch.empty()) throw std::runtime_error("sketch upload failed");
    const UINT width = sketch.width(), height = sketch.height();

    // The stream owns its memory block and frees it with the last release.
    ComPtr<IStream> stream;
    // Each call runs before its out-pointer is checked (argument order is unspecified).
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    ThrowIfFailedOrNull(602, hr, stream.get());
    ComPtr<IWICBitmapEncoder> encoder;
    hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
    ThrowIfFailedOrNull(603, hr, encoder.get());
    ThrowIfFailed(604, encoder->Initialize(stream.get(), WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    hr = encoder->CreateNewFrame(frame.put(), options.put());
    ThrowIfFailedOrNull(605, hr, frame.get());
    ThrowIfFailed(606, frame->Initialize(options.get()));
    ThrowIfFailed(606, frame->SetSize(width, height));
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    ThrowIfFailed(607, frame->SetPixelFormat(&format));
    // PNG takes BGRA as it is; an encoder that asks for another format cannot be fed our bytes.
    if (format != GUID_WICPixelFormat32bppBGRA) throw WinApiFailure(607, std::uint32_t(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT));
    // WritePixels only reads; the interface is not const-correct.
    ThrowIfFailed(608, frame->WritePixels(height, UINT(sketch.stride()), UINT(sketch.size_bytes()),
                                          const_cast<BYTE*>(sketch.data())));
    ThrowIfFailed(608, frame->Commit());
    ThrowIfFailed(608, encoder->Commit());

    STATSTG stat{};
    ThrowIfFailed(609, stream->Stat(&stat, STATFLAG_NONAME));
    if (stat.cbSize.HighPart != 0) throw std::runtime_error("sketch upload failed");
    const ULONG size = stat.cbSize.LowPart;
    LARGE_INTEGER start{};
    ThrowIfFailed(609, stream->Seek(start, STREAM_SEEK_SET, nullptr));
    std::string bytes(size, '\0');
    ULONG read = 0;
    ThrowIfFailed(609, stream->Read(bytes.data(), size, &read));
    if (read != size) throw std::runtime_error("sketch upload failed");
    return bytes;
}

}  // namespace hm
