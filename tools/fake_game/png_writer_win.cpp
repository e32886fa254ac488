#include "tools/fake_game/png_writer_win.h"

#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

#include "base/owners_win.h"

namespace hm::fakegame {
namespace {

std::string Failed(const char* what, HRESULT hr) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s failed: 0x%08lx", what, static_cast<unsigned long>(hr));
    return buf;
}

}  // namespace

std::string WritePng(const std::wstring& path, const std::uint32_t* pixels, int width, int height) {
    if (width <= 0 || height <= 0) return "empty picture";
    const UINT stride = UINT(width) * 3;
    std::vector<BYTE> bgr(std::size_t(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[std::size_t(y) * width + x];
            BYTE* out = &bgr[std::size_t(y) * stride + std::size_t(x) * 3];
            out[0] = BYTE(p);
            out[1] = BYTE(p >> 8);
            out[2] = BYTE(p >> 16);
        }
    }
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void());
    if (FAILED(hr)) return Failed("creating the imaging factory", hr);
    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(stream.put()))) return Failed("CreateStream", hr);
    if (FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) return Failed("opening the file", hr);
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()))) return Failed("CreateEncoder", hr);
    if (FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) return Failed("encoder Initialize", hr);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(hr = encoder->CreateNewFrame(frame.put(), options.put()))) return Failed("CreateNewFrame", hr);
    if (FAILED(hr = frame->Initialize(options.get()))) return Failed("frame Initialize", hr);
    if (FAILED(hr = frame->SetSize(UINT(width), UINT(height)))) return Failed("SetSize", hr);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = frame->SetPixelFormat(&format))) return Failed("SetPixelFormat", hr);
    if (format != GUID_WICPixelFormat24bppBGR) return "the PNG encoder refused 24-bit BGR";
    if (FAILED(hr = frame->WritePixels(UINT(height), stride, UINT(bgr.size()), bgr.data()))) return Failed("WritePixels", hr);
    if (FAILED(hr = frame->Commit())) return Failed("frame Commit", hr);
    if (FAILED(hr = encoder->Commit())) return Failed("encoder Commit", hr);
    return {};
}

}  // namespace hm::fakegame
