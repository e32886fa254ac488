// Session controller: consent, pairing, remembered-device resume, presence, state polling,
// device remembering and disconnect. A portable step function over a SessionRecord; the worker
// loop calls SessionStep once a pass on the worker thread. Every effect goes through
// SessionEffects, so native tests drive it with a scripted server and a fake clock.
//
// Later subsystems plug in through SessionHooks (all optional; an empty hook is skipped):
//   release check (updater), editor hand-off (document editor), gallery refresh, TV state,
//   photo request/display/upload, the update download and the EndSession clean-ups.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/dialog_mailbox.h"
#include "base/media_session.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "base/ticks.h"
#include "computer/editor_state.h"
#include "net/api_formats.h"
#include "net/api_types.h"

namespace hm {

constexpr int kConsentDialogKind = 3;
constexpr int kUpdateDialogKind = 4;

constexpr Tick kResumePeriodMs = 5000;
constexpr Tick kResumeAfterExpiryMs = 2000;
constexpr Tick kPresencePeriodMs = 1000;
constexpr Tick kStatePeriodMs = 350;
constexpr Tick kStateRetryMs = 3000;
constexpr Tick kRememberPeriodMs = 30000;
constexpr Tick kFreshFrameMs = 5000;
constexpr Tick kFailureNoticeAfterMs = 10000;
constexpr Tick kFailureNoticeRepeatMs = 120000;
constexpr Tick kConnectedNoticeMs = 12000;
constexpr Tick kVersionStatusMs = 12000;

// A dialog for the UI thread: texts in code page 1250, as the dialog window shows them.
struct DialogRequest {
    int id = 0;    // kConsentDialogId or kUpdateDialogId (dialog_mailbox.h)
    int kind = 0;  // screen kind: 3 consent, 4 update
    std::string title;
    std::string body;
    std::string first_button;
    std::string second_button;
    std::string player_name;  // consent dialog only
};

struct SessionSettings {
    ApiClient client;
    std::wstring api_url;  // ApiUrl as configured: the consent dialog's "Server:" line
    bool auto_connect = false;
};

// Subsystems that hang on the session. Each runs on the worker thread inside SessionStep.
// Hooks called from the state step may throw std::runtime_error: that is a failed state poll
// (3 s retry, delayed "temporarily unavailable" notice). A hook that handles its own failures
// (TV, gallery) must catch them itself.
struct SessionHooks {
    // Updater: make the release check due at once and forget the last announced build.
    std::function<void()> reset_release_check;
    // Updater: periodic release check inside an OK answer; may throw "release unavailable".
    std::function<void(Tick now)> release_check;
    // Updater: "Stahnout aktualizaci" in the update dialog for this build.
    std::function<void(int build)> start_update_download;
    // Document editor: hand it the client and token if it asked for the session.
    std::function<void(const ApiClient& client, const std::string& token)> offer_editor_session;
    // Gallery refresh and TV state; each keeps its own timer.
    std::function<void(Tick now, const std::string& token)> gallery_refresh;
    std::function<void(Tick now, const std::string& token)> tv_state;
    // Photos: a session started (highest photo request 0, shown photo forgotten, revision -1).
    std::function<void()> photo_session_reset;
    // Photos: the OK answer names no photo: clear PhotoVisible, forget the shown photo.
    std::function<void()> photo_none;
    // Photos: request and display of one OK answer (after the range check).
    std::function<void(Tick now, const StateSnapshot& state, const std::string& token)> photo_state;
    // Photos: upload a captured frame; after OK and after WAIT.
    std::function<void(Tick now, const std::string& token)> photo_upload;
    // Photos: a state poll failed: clear PhotoVisible.
    std::function<void()> photo_hide;
    // EndSession: close the computer window (CloseEditorMessage) and clear its session data.
    std::function<void()> close_editor;
    // EndSession: stop TV.
    std::function<void()> stop_tv;
    // EndSession: clear the photo request and PhotoVisible, drop queued and shown photo,
    // increment ShownPhotoVersion.
    std::function<void()> clear_photos;
};

struct SessionEffects {
    ApiRequestFn request;
    std::function<void(const std::wstring& text, bool sticky)> notice;           // ShowNotice
    std::function<void(const std::wstring& text, Tick duration_ms)> status;      // StatusBanner
    // Replace the current notice only if it is sticky, with a display deadline of duration_ms.
    std::function<void(const std::wstring& text, Tick duration_ms)> replace_sticky_notice;
    std::function<void(const DialogRequest& request)> show_dialog;               // ShowDialog
    std::function<std::optional<DialogResult>()> take_dialog_result;            // DialogMailbox
    // Remembered device (DeviceFile with ApiUrl as entropy): load gives "" when none;
    // save throws std::runtime_error; forget deletes the file, a missing file is fine.
    std::function<std::string()> load_device;
    std::function<void(const std::string& credential)> save_device;
    std::function<void()> forget_device;
    // Shared records this session publishes to: Connected and ConsentGiven (plugin), BindCode
    // and the player name (shared), the media token (media).
    PluginRecord* plugin = nullptr;
    SharedState* shared = nullptr;
    MediaSession* media = nullptr;
    SessionHooks hooks;
};

// What the worker loop sampled for this pass.
struct SessionInputs {
    Tick now = 0;
    Tick last_frame_tick = 0;       // LastFrameTick, 0 until the first frame
    bool game_in_front = false;     // the foreground window belongs to the game
    bool ctrl_f10_pressed = false;  // press edge, already filtered for Ctrl and focus
    bool editor_open = false;       // the editor-open flag
};

// Worker-owned session state.
struct SessionRecord {
    SessionSettings settings;
    std::string token;       // SessionToken
    std::string credential;  // DeviceCredential
    bool connected = false;
    bool consent_given = false;
    bool pairing_pending = false;
    bool auto_prompt_armed = false;
    bool first_state_seen = false;
    Tick resume_deadline = 0;
    Tick presence_deadline = 0;
    Tick state_deadline = 0;
    Tick remember_deadline = 0;
    bool failing = false;  // a run of failed state polls is going on
    Tick failure_start = 0;
    bool failure_noticed = false;  // a "temporarily unavailable" notice was ever posted
    Tick last_failure_notice = 0;
    int last_offered_build = 0;
    int update_dialog_build = 0;
};

// Worker start-up: loads the remembered device when AutoConnect is on, sets ConsentGiven when
// one is held and arms the automatic consent prompt unless both a device and a player name
// are known.
void StartSession(SessionRecord& session, const SessionSettings& settings, SessionEffects& fx);

// One worker-loop pass: resume, dialog mailbox, consent prompt, presence, editor hand-off,
// state poll with everything hanging on it, then publishes the media token.
void SessionStep(SessionRecord& session, const SessionInputs& in, SessionEffects& fx);

// Tears the live session down locally: bind code, media token, computer window, TV, Connected,
// photos. The token itself is the caller's to clear.
void EndSession(SessionRecord& session, SessionEffects& fx);

// The dialogs' texts (UTF-16 before conversion).
DialogRequest ConsentDialog(const std::wstring& api_url, const std::string& player_name);
DialogRequest UpdateRequiredDialog(const std::string& required_version);
// The screen the UI thread shows for a session dialog: its id and kind, the title, the body as
// the caption, the two button labels and, for the consent dialog, the player name as the
// (read-only) content of the nickname box.
EditorState DialogScreen(const DialogRequest& request);

}  // namespace hm
