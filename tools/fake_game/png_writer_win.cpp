#include "tools/fake_game/png_writer_win.h"

#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

namespace hm::fakegame {
namespace {

template <class T>
struct Com {
    T* p = nullptr;
    ~Com() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

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
    Com<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return Failed("creating the imaging factory", hr);
    Com<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(&stream))) return Failed("CreateStream", hr);
    if (FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) return Failed("opening the file", hr);
    Com<IWICBitmapEncoder> encoder;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder))) return Failed("CreateEncoder", hr);
    if (FAILED(hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache))) return Failed("encoder Initialize", hr);
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    if (FAILED(hr = encoder->CreateNewFrame(&frame, &options))) return Failed("CreateNewFrame", hr);
    if (FAILED(hr = frame->Initialize(options.p))) return Failed("frame Initialize", hr);
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
