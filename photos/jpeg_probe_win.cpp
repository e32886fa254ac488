// Encodes generated pictures with EncodeJpeg and writes each JPEG to the given folder, printing
// one line per picture with its size and the encode time (under qemu-emulated Wine: emulated
// time, far slower than a real machine). Driven by jpeg_quality_driver_test on the host.
//   jpeg_probe.exe <folder> <kind> <width> <height> [<kind> <width> <height> ...]
// kind: gradient or blocks.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "photos/jpeg_encoder_win.h"
#include "photos/test_pictures.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::printf("usage: jpeg_probe <folder> <kind> <w> <h> ...\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 3;
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return 4;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    int status = 0;
    for (int i = 2; i + 2 < argc; i += 3) {
        const std::wstring kind = argv[i];
        const auto w = std::uint32_t(_wtoi(argv[i + 1])), h = std::uint32_t(_wtoi(argv[i + 2]));
        try {
            hm::PixelsRef picture = kind == L"blocks" ? hm::BlockPicture(w, h) : hm::GradientPicture(w, h);
            LARGE_INTEGER t0, t1;
            QueryPerformanceCounter(&t0);
            const std::string jpeg = hm::EncodeJpeg(factory, *picture);
            QueryPerformanceCounter(&t1);
            const std::wstring path = std::wstring(argv[1]) + L"\\" + kind + L"_" + std::to_wstring(w) + L"x" +
                                      std::to_wstring(h) + L".jpg";
            HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD put = 0;
            const bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, jpeg.data(), DWORD(jpeg.size()), &put, nullptr) &&
                            put == jpeg.size();
            if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
            std::printf("jpeg kind=%ls w=%u h=%u bytes=%u ms=%.1f%s\n", kind.c_str(), w, h, unsigned(jpeg.size()),
                        double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(frequency.QuadPart), ok ? "" : " write=failed");
        } catch (const std::exception& e) {
            std::printf("jpeg kind=%ls w=%u h=%u error=%s\n", kind.c_str(), w, h, e.what());
            status = 1;
        }
    }
    factory->Release();
    CoUninitialize();
    return status;
}
