#include "base/picture_decode_win.h"

#include <stdexcept>

#include "base/owners_win.h"

namespace hm {

namespace {
// Call sites of the decoder's imaging calls.
enum : int {
    kSiteFactory = 871,
    kSiteStream = 872,
    kSiteMemory = 873,
    kSiteDecoder = 874,
    kSiteFrame = 875,
    kSiteSize = 876,
    kSiteConverter = 877,
    kSiteConvert = 878,
    kSiteCopy = 879,
};
}  // namespace

PixelsRef DecodePicture(IWICImagingFactory* factory, const std::uint8_t* data, std::size_t size) {
    if (!factory) ThrowIfFailed(kSiteFactory, E_POINTER);
    // WIC reads at most a DWORD's worth; the API never hands over more than 4 MiB anyway.
    if (size > 0xFFFFFFFFu) ThrowIfFailed(kSiteMemory, E_INVALIDARG);
    ComPtr<IWICStream> stream;
    ThrowIfFailed(kSiteStream, factory->CreateStream(stream.put()));
    static const BYTE kNothing = 0;
    ThrowIfFailed(kSiteMemory, stream->InitializeFromMemory(const_cast<BYTE*>(data ? data : &kNothing), DWORD(size)));
    ComPtr<IWICBitmapDecoder> decoder;
    ThrowIfFailed(kSiteDecoder,
                  factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put()));
    ComPtr<IWICBitmapFrameDecode> frame;
    ThrowIfFailed(kSiteFrame, decoder->GetFrame(0, frame.put()));
    UINT width = 0, height = 0;
    ThrowIfFailed(kSiteSize, frame->GetSize(&width, &height));
    if (width < 1 || width > kMaxDecodedWidth || height < 1 || height > kMaxDecodedHeight)
        throw std::runtime_error("invalid gallery dimensions");
    ComPtr<IWICFormatConverter> converter;
    ThrowIfFailed(kSiteConverter, factory->CreateFormatConverter(converter.put()));
    ThrowIfFailed(kSiteConvert, converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                                      nullptr, 0.0, WICBitmapPaletteTypeCustom));
    PixelsRef out = MakePixels(width, height);
    ThrowIfFailed(kSiteCopy, converter->CopyPixels(nullptr, width * 4, UINT(out->size_bytes()), out->data()));
    return out;
}

}  // namespace hm
