// Test hooks of the frame work, built only into HM_Plugin_testhooks.dll (never packaged): they
// stand in for the UI thread and the photo path until those exist.
#include <windows.h>

#include <cstdint>

#include "base/overlay_frame.h"
#include "base/ticks.h"
#include "game/present_rules.h"
#include "game/input_state.h"

// Shows a solid width x height overlay frame the way the UI thread would: a hidden window stands
// in for the UiWindow and the frame is published. argb 0 closes it again (empty frame, no window).
extern "C" __declspec(dllexport) int HM_ShowTestOverlay(unsigned argb, int width, int height) {
    static HWND window = nullptr;
    hm::OverlayState& overlay = hm::PluginOverlay();
    if (argb == 0) {
        hm::PluginInput().ui_window.store(0);
        overlay.editor_open.store(false);
        hm::PublishEmptyOverlayFrame(overlay);
        if (window) DestroyWindow(window);
        window = nullptr;
        return 1;
    }
    if (width < 1 || height < 1 || width > 65536 || height > 65536) return 0;
    if (!window) window = CreateWindowExW(0, L"STATIC", L"HM_Plugin test overlay", 0, 0, 0, 1, 1, HWND_MESSAGE,
                                          nullptr, nullptr, nullptr);
    if (!window) return 0;
    hm::PixelsRef frame = hm::MakePixels(std::uint32_t(width), std::uint32_t(height));
    for (std::uint32_t y = 0; y < frame->height(); ++y)
        for (std::uint32_t x = 0; x < frame->width(); ++x) frame->set(x, y, argb);
    hm::PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(window));
    overlay.editor_open.store(true);
    hm::PublishOverlayFrame(overlay, frame, hm::PublishRule::kAlways);
    return 1;
}

// The plugin cursor over the test overlay: visible at canvas point (x, y), or hidden.
extern "C" __declspec(dllexport) void HM_SetTestCursor(int visible, int x, int y) {
    hm::OverlayState& overlay = hm::PluginOverlay();
    overlay.cursor_x.store(x);
    overlay.cursor_y.store(y);
    overlay.plugin_cursor_visible.store(visible != 0);
}

// Arms a photo request the way the photo path does when the server asks for a shot, for checking
// the capture path before a server raises one.
extern "C" __declspec(dllexport) void HM_ArmPhotoRequest(int id, int timeoutMs) {
    hm::ArmPhotoRequest(hm::PluginPhotoRequest(), id, GetTickCount64() + hm::Tick(timeoutMs > 0 ? timeoutMs : 0));
}
