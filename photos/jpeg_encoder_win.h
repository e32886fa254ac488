// EncodeJpeg: a captured frame to JPEG bytes through WIC (scaled to at most 1280 x 720 with the
// Fant filter, 24-bit BGR, quality 0.85). Worker thread; the caller's COM must be initialised.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wincodec.h>

#include <string>

#include "base/pixels.h"

namespace hm {

constexpr float kJpegQuality = 0.85f;

// What tests see of and do to the WIC calls. The defaults do nothing.
class WicSeam {
public:
    virtual ~WicSeam() = default;
    // Before the call of `site`: a failure returned here fails that call without making it.
    virtual HRESULT Before(int /*site*/) { return S_OK; }
    // Each COM object the encoder obtains (bitmap, scaler, converter, stream, encoder, frame,
    // property bag), so a test can check that none outlives the call.
    virtual void Obtained(IUnknown* /*object*/) {}
    // The property written into the frame's bag.
    virtual void PropertyWritten(const PROPBAG2& /*name*/, const VARIANT& /*value*/) {}
    // The stream's size after Stat and the byte count after Read, for the size and short-read
    // checks.
    virtual void Stated(ULARGE_INTEGER& /*size*/) {}
    virtual void Read(ULONG& /*count*/) {}
};

// Throws WinApiFailure with the failing call's site (121 ... 143), "encoded photo too large" or
// "short JPEG read".
std::string EncodeJpeg(IWICImagingFactory* factory, const Pixels& picture, WicSeam* seam = nullptr);

}  // namespace hm
