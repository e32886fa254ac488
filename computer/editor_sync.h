// EditorSync: the worker's half of the in-game computer. Once a worker pass it toggles the
// minimised computer on Ctrl+F12, and while it holds the session it uploads a pending sketch,
// sends one pending action body or the player's answer, polls /editor/state, fetches the
// screen's picture and starts the UI thread or posts the new state to its window. One request
// per 200 ms at most; OverlayFrameLock is never held across a request.
#pragma once

#include <functional>
#include <string>

#include "base/pixels.h"
#include "base/ticks.h"
#include "computer/editor_exchange.h"
#include "computer/editor_window_seam.h"
#include "net/api_types.h"

namespace hm {

// Sampled by the worker for this pass.
struct EditorKeys {
    bool ctrl = false;
    bool f12 = false;
    bool game_in_front = false;  // the foreground window belongs to the game
};

// The TV controller's news page address (the state's address is it + "&news=" + id); empty
// when no news can play.
using NewsPageAddressFn = std::string (*)();

struct EditorSyncEffects {
    ApiRequestFn request;
    // The pending sketch as lossless image bytes (PNG through WIC); throws on failure.
    std::function<std::string(const Pixels& sketch)> encode_sketch;
    // Image bytes to a 32-bit picture (DecodePicture); throws on failure.
    std::function<PixelsRef(const std::string& bytes)> decode_picture;
    // Filled by the TV controller's wiring; null: news screens get no video address.
    NewsPageAddressFn news_page_address = nullptr;
    EditorWindowSeam* window = nullptr;
};

// Worker-owned; the session hands it the client and token.
struct EditorSyncRecord {
    ApiClient client;
    std::string token;  // SessionToken; empty: only the minimise toggle runs
    bool hotkey_held = false;  // Ctrl+F12 held on the previous pass
};

// SessionHooks::offer_editor_session: the session is live; keep its client and token.
void OfferEditorSession(EditorSyncRecord& sync, const ApiClient& client, const std::string& token);

// SessionHooks::close_editor: CloseEditorMessage to the window, and the token is dropped. The
// next session starts from no current screen, so a screen it shows again is not taken for the
// one already delivered.
void CloseEditorSession(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx);

// One run. Parse failures of a state answer propagate (the exchange is left unchanged).
void EditorSyncPass(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx, Tick now,
                    const EditorKeys& keys);

}  // namespace hm
