// EditorExchange: what the worker's EditorSync and the UI thread hand each other. Every field
// below the atomics is read and written only under OverlayFrameLock (OverlayState::lock), held
// for copies only and never across a request. The exchange reuses the overlay's flags:
// ComputerMinimized is OverlayState::computer_minimized, the editor-open flag is
// OverlayState::editor_open (the render and input paths read it too), and the UiWindow handle is
// InputCaptureState::ui_window.
#pragma once

#include <atomic>
#include <string>

#include "base/overlay_frame.h"
#include "base/pixels.h"
#include "base/ticks.h"
#include "computer/editor_state.h"

namespace hm {

constexpr Tick kAnswerWaitMs = 12000;    // AwaitingAnswer deadline
constexpr Tick kEditorPacingMs = 200;    // at most one request per 200 ms
constexpr int kNoGameClock = -1;

// The pending action bodies, one per endpoint.
enum class EditorBody {
    kPage,             // /editor/page
    kReorder,          // /editor/reorder
    kSignatureDelete,  // /editor/signatures/delete
    kDesktopPosition,  // /editor/desktop-position
    kFilesAction,      // /editor/files-action
    kBook,             // /editor/book
    kAttachment,       // /editor/attachment
};
constexpr int kEditorBodyCount = 7;

struct EditorExchange {
    explicit EditorExchange(OverlayState& overlay_state) : overlay(overlay_state) {}
    EditorExchange(const EditorExchange&) = delete;
    EditorExchange& operator=(const EditorExchange&) = delete;

    OverlayState& overlay;  // lock = OverlayFrameLock; computer_minimized; editor_open

    // --- atomic words -------------------------------------------------------------------------
    std::atomic<bool> login_screen{false};     // the shown state is a login/registration screen
    std::atomic<bool> awaiting_answer{false};  // AwaitingAnswer: an answer was submitted
    std::atomic<int> game_clock{kNoGameClock}; // minutes since midnight, or kNoGameClock

    // --- under overlay.lock -------------------------------------------------------------------
    std::string bodies[kEditorBodyCount];  // indexed by EditorBody
    std::string result;                    // pending EditorResult text
    PixelsRef pending_sketch;              // a sketch the UI wants uploaded, null when none
    int pending_sketch_request = 0;
    EditorState last_state;                // the state most recently handed to the UI thread
    Tick answer_deadline = 0;              // AwaitingAnswer start + 12000
    std::wstring pending_notice;           // shown once in the status line of the next state

    // --- worker only (EditorSync), no lock needed ---------------------------------------------
    std::string last_body;                 // last /editor/state body, for live-screen duplicates
    int current_request_id = 0;            // 0 = none
    bool state_refresh_wanted = false;     // StateRefreshWanted
    Tick next_poll_time = 0;

    bool editor_open() const { return overlay.editor_open.load(); }
};

// The plugin's one exchange, over PluginOverlay().
EditorExchange& PluginEditorExchange();

// --- Called by the UI thread (and by the starters of the UI thread) -------------------------

// Start's bookkeeping, on the thread that starts the UI thread: when the editor is already open
// returns false and changes nothing; otherwise sets editor-open, stores `state` as the last
// state, sets the login-screen flag from it, clears ComputerMinimized and returns true.
bool ClaimEditorOpen(EditorExchange& ex, const EditorState& state);

// WM_DESTROY: clears the login-screen and AwaitingAnswer flags.
void EditorWindowGone(EditorExchange& ex);
// End of the UI thread (or a thread/window that could not be made): clears editor-open.
void ReleaseEditorOpen(EditorExchange& ex);

// A copy of the last state, taken under the lock.
EditorState CopyLastEditorState(EditorExchange& ex);

// New state accepted by the window: sets the login-screen flag from it (a login screen clears
// ComputerMinimized) and clears AwaitingAnswer.
void EditorStateShown(EditorExchange& ex, const EditorState& state);

// Submit step 3-4: clears the pending action bodies and stores "<id>\n<action>\n<payload>" in
// the result slot; with `await_answer`, sets AwaitingAnswer with a deadline of now + 12 s.
// Negative ids (the session's own dialogs) answer the session's mailbox instead: nothing is
// stored and false is returned.
bool SubmitEditorResult(EditorExchange& ex, const EditorResult& answer, bool await_answer, Tick now);

// Sets AwaitingAnswer with a deadline of now + 12 s.
void SetAwaitingAnswer(EditorExchange& ex, Tick now);

// A pending action body for its endpoint (replaces one not yet sent).
void PostEditorBody(EditorExchange& ex, EditorBody which, std::string body);

// PictureMessage with picture mode 3: a sketch to upload for `request_id`.
void SetPendingSketch(EditorExchange& ex, int request_id, PixelsRef sketch);

// The game clock for the desktop and phone: "HH:MM", or "--:--" until a valid value arrived.
std::wstring GameClockText(const EditorExchange& ex);

}  // namespace hm
