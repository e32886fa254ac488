#include "core/session.h"

#include <exception>
#include <stdexcept>

#include "base/text1250.h"

namespace hm {
namespace {

const wchar_t kNoticeDeviceRevoked[] =
    L"HM Plugin: zapamatovane pripojeni zruseno. Ctrl+F10 pro nove sparovani.";
const wchar_t kNoticeNoConsent[] = L"Souhlas nebyl udělen. Zvol Odpojit v dialogu serveru.";
const wchar_t kNoticeDownloading[] = L"Aktualizace se stahuje. Ctrl+F9 zobrazí její stav.";
const wchar_t kNoticeDisconnected[] = L"HM Plugin: připojení vypnuto.";
const wchar_t kNoticeIdentityMismatch[] =
    L"HM Plugin: přezdívka nebo port nesouhlasí. Zkontroluj připojení pluginu.";
const wchar_t kNoticeConnected[] =
    L"HM Plugin spojeno. Fotoaparat uklada nove snimky; /galerie u PC. Ctrl+F10: vypnout";
const wchar_t kNoticeResuming[] = L"HM Plugin: obnovuji zapamatovane pripojeni.";
const wchar_t kNoticeExpired[] = L"HM Plugin: spojeni vyprselo. Ctrl+F10 pro nove sparovani.";
const wchar_t kNoticeRemembered[] =
    L"HM Plugin: sparovani zapamatovano. Priste se pripoji automaticky.";
const wchar_t kNoticeRememberFailed[] = L"HM Plugin: spojeno, ale sparovani se nepodarilo ulozit.";
const wchar_t kNoticeApiUnavailable[] = L"HM Plugin: API není dostupné. Připojení zkus znovu.";
const wchar_t kNoticeTemporarilyUnavailable[] =
    L"HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.";

const wchar_t kConsentBodyTail[] =
    L"\n\nPlugin propojí dokumenty, fotografie a televize s tímto serverem.\n\n"
    L"Podržením M můžeš mluvit k hráčům do 25 metrů. Mikrofon se snímá jen při podržení M mimo "
    L"textová pole. Ctrl+M hlasový chat vypne nebo zapne.\n\n"
    L"Při fotografování fotoaparátem uloží čistý herní snímek do počítače a odešle jej na server. "
    L"Staré ani osobní soubory se nečtou.\n\n"
    L"Televize se může připojovat k YouTube a zvoleným zdrojům videa. Po spárování lze připojení "
    L"zapamatovat pro příští přihlášení.";

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

void Notice(SessionEffects& fx, const std::wstring& text, bool sticky = false) {
    if (fx.notice) fx.notice(text, sticky);
}

template <typename Hook, typename... Args>
void Call(const Hook& hook, Args&&... args) {
    if (hook) hook(std::forward<Args>(args)...);
}

ApiResponse Request(SessionRecord& s, SessionEffects& fx, const char* method, const char* path,
                    const std::string& bearer) {
    return fx.request(s.settings.client, method, path, bearer, std::string(), 0);
}

// DELETE whose answer and network failure do not matter: the local clean-up goes on anyway.
void RequestIgnoringFailure(SessionRecord& s, SessionEffects& fx, const char* path,
                            const std::string& bearer) {
    try {
        Request(s, fx, "DELETE", path, bearer);
    } catch (const std::exception&) {
    }
}

void SetConnected(SessionRecord& s, SessionEffects& fx, bool on) {
    s.connected = on;
    if (fx.plugin) fx.plugin->connected.store(on);
}

void SetConsent(SessionRecord& s, SessionEffects& fx, bool on) {
    s.consent_given = on;
    if (fx.plugin) fx.plugin->consent_given.store(on);
}

void PublishBindCode(SessionEffects& fx, const std::string& code) {
    if (!fx.shared) return;
    std::lock_guard<std::mutex> hold(fx.shared->lock);
    fx.shared->bind_code = code;
}

std::string PlayerName(SessionEffects& fx) {
    if (!fx.shared) return std::string();
    std::lock_guard<std::mutex> hold(fx.shared->lock);
    return fx.shared->identity.name;
}

void ForgetDevice(SessionRecord& s, SessionEffects& fx) {
    s.credential.clear();
    try {
        Call(fx.forget_device);
    } catch (const std::exception&) {
        // A file that cannot be deleted stays unreadable to nobody but us; the credential is
        // gone from memory, which is what stops its use in this run.
    }
}

void ShowDialogUnlessEditorOpen(SessionEffects& fx, const SessionInputs& in, const DialogRequest& request) {
    if (in.editor_open) return;
    Call(fx.show_dialog, request);
}

// Errors of resume, pairing and the consent prompt.
void ConnectFailed(SessionRecord& s, SessionEffects& fx) {
    // Only the consent prompt can fail while connected; end that session properly rather than
    // leaving its bind code, media token and photos behind.
    if (s.connected) EndSession(s, fx);
    s.token.clear();
    SetConnected(s, fx, false);
    s.pairing_pending = false;
    s.auto_prompt_armed = true;
    Notice(fx, kNoticeApiUnavailable);
}

void StartedSession(SessionRecord& s, SessionEffects& fx, const std::string& token) {
    s.token = token;
    SetConnected(s, fx, true);
    Call(fx.hooks.photo_session_reset);
    s.failing = false;
}

// ---- step 1: remembered-device resume ----
void ResumeStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (s.connected || s.credential.empty() || !s.settings.auto_connect) return;
    if (!IsDue(in.now, s.resume_deadline) || in.last_frame_tick == 0) return;
    s.resume_deadline = in.now + kResumePeriodMs;
    ApiResponse answer = Request(s, fx, "POST", "/resume", s.credential);
    if (answer.status == 201) {
        auto grant = ParseSessionGrant(answer.body);
        if (!grant) throw std::runtime_error("invalid resumed session");
        StartedSession(s, fx, grant->token);
        s.pairing_pending = false;
        s.state_deadline = in.now;
    } else if (answer.status == 401 || answer.status == 403) {
        ForgetDevice(s, fx);
        Notice(fx, kNoticeDeviceRevoked);
    }
}

// ---- step 2: dialog mailbox ----
// Returns true when the automatic consent prompt must not be evaluated in this pass.
bool MailboxStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (!fx.take_dialog_result) return false;
    std::optional<DialogResult> result = fx.take_dialog_result();
    if (!result) return false;
    if (result->dialog_id == kConsentDialogId && result->button != 1) {
        s.auto_prompt_armed = false;
        SetConsent(s, fx, false);
        if (s.connected) {
            RequestIgnoringFailure(s, fx, "/session", s.token);
            EndSession(s, fx);
            s.token.clear();
        }
        if (!s.credential.empty()) {
            RequestIgnoringFailure(s, fx, "/device", s.credential);
            ForgetDevice(s, fx);
        }
        Notice(fx, kNoticeNoConsent, true);
        return true;
    }
    if (result->dialog_id == kConsentDialogId) {
        SetConsent(s, fx, true);
        s.presence_deadline = in.now;
        if (!s.connected) {
            ApiResponse answer = Request(s, fx, "POST", "/pair", std::string());
            std::optional<SessionGrant> grant;
            if (answer.status == 201) grant = ParseSessionGrant(answer.body);
            if (!grant) throw std::runtime_error("pair");
            PublishBindCode(fx, grant->bind_code);
            StartedSession(s, fx, grant->token);
            s.pairing_pending = true;
        }
        return false;
    }
    if (result->dialog_id == kUpdateDialogId && result->button == 1 && s.update_dialog_build > kPluginBuild) {
        Call(fx.hooks.start_update_download, s.update_dialog_build);
        Notice(fx, kNoticeDownloading, true);
    }
    return false;
}

// ---- step 3: Ctrl+F10 or the automatic consent prompt ----
void ConsentPromptStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx, bool automatic_allowed) {
    bool automatic = automatic_allowed && s.auto_prompt_armed && in.game_in_front &&
                     in.last_frame_tick != 0 && in.last_frame_tick + kFreshFrameMs > in.now;
    if (!(in.ctrl_f10_pressed || automatic) || in.editor_open) return;
    if (s.connected && in.ctrl_f10_pressed) {
        // The player's own press while connected means "disconnect", whatever the prompt.
        EndSession(s, fx);
        s.pairing_pending = false;
        SetConsent(s, fx, false);
        Notice(fx, kNoticeDisconnected);
        if (!s.credential.empty()) RequestIgnoringFailure(s, fx, "/device", s.credential);
        ForgetDevice(s, fx);
        RequestIgnoringFailure(s, fx, "/session", s.token);
        s.token.clear();
        return;
    }
    s.auto_prompt_armed = false;
    ShowDialogUnlessEditorOpen(fx, in, ConsentDialog(s.settings.api_url, PlayerName(fx)));
}

// ---- step 4: presence ----
void PresenceStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (!s.connected || !s.consent_given) return;
    const std::wstring& base = s.settings.client.base_path;
    if (base != Widen(kProductionBasePath) && base != Widen(kTestBasePath)) return;
    if (!IsDue(in.now, s.presence_deadline)) return;
    s.presence_deadline = in.now + kPresencePeriodMs;
    try {
        ApiResponse answer = Request(s, fx, "POST", "/presence", s.token);
        if (answer.status == 400) {
            Notice(fx, kNoticeIdentityMismatch);
        } else if (answer.status == 426 && !in.editor_open) {
            RequiredUpdate required = ParsePresenceUpgrade(answer.body);
            if (required.build > kPluginBuild && required.build != s.last_offered_build) {
                s.last_offered_build = required.build;
                s.update_dialog_build = required.build;
                ShowDialogUnlessEditorOpen(fx, in, UpdateRequiredDialog(required.version));
            }
        }
    } catch (const std::exception&) {
    }
}

// ---- step 7: device remembering, inside an OK answer ----
void RememberDeviceStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (!s.settings.auto_connect || !s.credential.empty()) return;
    if (!IsDue(in.now, s.remember_deadline)) return;
    s.remember_deadline = in.now + kRememberPeriodMs;
    try {
        ApiResponse answer = Request(s, fx, "POST", "/device", s.token);
        if (answer.status != 201) return;
        std::string credential(SplitBodyLines(answer.body)[0]);
        if (!fx.save_device) throw std::runtime_error("device storage failed");
        fx.save_device(credential);
        s.credential = credential;
        Notice(fx, kNoticeRemembered);
    } catch (const std::exception&) {
        Notice(fx, kNoticeRememberFailed);
    }
}

void StateOk(SessionRecord& s, const SessionInputs& in, SessionEffects& fx, const StateSnapshot& state) {
    s.pairing_pending = false;
    PublishBindCode(fx, std::string());
    Call(fx.hooks.offer_editor_session, s.settings.client, s.token);
    if (!s.first_state_seen) {
        s.first_state_seen = true;
        Call(fx.hooks.reset_release_check);
        if (fx.status)
            fx.status(L"HM Plugin v" + Widen(kPluginVersion) + L" BETA nacten.", kVersionStatusMs);
    }
    Call(fx.hooks.release_check, in.now);
    if (state.shown_photo_id == 0) Call(fx.hooks.photo_none);
    RememberDeviceStep(s, in, fx);
    Call(fx.hooks.gallery_refresh, in.now, s.token);
    Call(fx.hooks.tv_state, in.now, s.token);
    CheckStateRange(state);
    Call(fx.replace_sticky_notice, std::wstring(kNoticeConnected), kConnectedNoticeMs);
    Call(fx.hooks.photo_state, in.now, state, s.token);
}

// ---- step 6: state poll ----
void StatePoll(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    ApiResponse answer = Request(s, fx, "GET", "/state", s.token);
    if (answer.status == 200) {
        StateAnswer state = ParseStateBody(answer.body);
        // Only an answer that reads as a state ends a run of failures: a server that answers
        // 200 with junk (or with out-of-range numbers) forever is still unavailable.
        if (state.kind == StateKind::Wait || InStateRange(state.snapshot)) s.failing = false;
        // A shot waiting in the slot must not wait for the next good answer because the display
        // or the release check failed: upload in this pass too, then report the first failure.
        std::exception_ptr failure;
        if (state.kind == StateKind::Wait) {
            s.first_state_seen = false;
        } else {
            try {
                StateOk(s, in, fx, state.snapshot);
            } catch (const std::exception&) {
                failure = std::current_exception();
            }
        }
        try {
            if (s.connected) Call(fx.hooks.photo_upload, in.now, s.token);
        } catch (const std::exception&) {
            if (!failure) throw;
        }
        if (failure) std::rethrow_exception(failure);
        return;
    }
    if (answer.status == 403 && s.pairing_pending) return;
    if (answer.status == 401 || answer.status == 403) {
        EndSession(s, fx);
        s.token.clear();
        s.resume_deadline = in.now + kResumeAfterExpiryMs;
        Notice(fx, s.credential.empty() ? kNoticeExpired : kNoticeResuming);
        return;
    }
    throw std::runtime_error("state unavailable");
}

void StateStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (!s.connected || !IsDue(in.now, s.state_deadline)) return;
    s.state_deadline = in.now + kStatePeriodMs;
    try {
        StatePoll(s, in, fx);
    } catch (const std::exception&) {
        Call(fx.hooks.photo_hide);
        if (!s.failing) {
            s.failing = true;
            s.failure_start = in.now;
        }
        if (in.now - s.failure_start > kFailureNoticeAfterMs &&
            (!s.failure_noticed || in.now - s.last_failure_notice >= kFailureNoticeRepeatMs)) {
            Notice(fx, kNoticeTemporarilyUnavailable);
            s.failure_noticed = true;
            s.last_failure_notice = in.now;
        }
        s.state_deadline = in.now + kStateRetryMs;
    }
}

// Steps 1 to 3 report their failures the same way; each step's own failure ends only that step.
template <typename Step>
void GuardConnectStep(SessionRecord& s, SessionEffects& fx, Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        ConnectFailed(s, fx);
    }
}

}  // namespace

DialogRequest ConsentDialog(const std::wstring& api_url, const std::string& player_name) {
    DialogRequest d;
    d.id = kConsentDialogId;
    d.kind = kConsentDialogKind;
    d.title = WideToCp1250(L"HM Plugin " + Widen(kPluginVersion) + L" BETA");
    d.body = WideToCp1250(L"Server: " + api_url + kConsentBodyTail);
    d.first_button = WideToCp1250(L"Souhlasím");
    d.second_button = WideToCp1250(L"Odpojit");
    d.player_name = player_name;
    return d;
}

DialogRequest UpdateRequiredDialog(const std::string& required_version) {
    DialogRequest d;
    d.id = kUpdateDialogId;
    d.kind = kUpdateDialogKind;
    d.title = WideToCp1250(L"Aktualizace HM Pluginu");
    // The version comes from the server as bytes and is shown as it is.
    d.body = WideToCp1250(L"Server vyžaduje HM Plugin ") + required_version +
             WideToCp1250(L" BETA.\n\nBalíček můžeš stáhnout na pozadí. Instaluj jej při vypnuté "
                          L"hře a potom se připoj znovu.");
    d.first_button = WideToCp1250(L"Stahnout aktualizaci");
    d.second_button = WideToCp1250(L"Zpet");
    return d;
}

EditorState DialogScreen(const DialogRequest& request) {
    EditorState s;
    s.request_id = request.id;
    s.kind = request.kind;
    s.title = request.title;
    s.caption = request.body;
    s.content = request.player_name;
    s.buttons[0] = request.first_button;
    s.buttons[1] = request.second_button;
    s.read_only = true;
    return s;
}

void StartSession(SessionRecord& s, const SessionSettings& settings, SessionEffects& fx) {
    s = SessionRecord();
    s.settings = settings;
    if (settings.auto_connect && fx.load_device) s.credential = fx.load_device();
    SetConsent(s, fx, !s.credential.empty());
    SetConnected(s, fx, false);
    s.auto_prompt_armed = settings.auto_connect && !(!s.credential.empty() && !PlayerName(fx).empty());
}

void EndSession(SessionRecord& s, SessionEffects& fx) {
    PublishBindCode(fx, std::string());
    if (fx.media) PublishMediaSession(*fx.media, std::string());
    Call(fx.hooks.close_editor);
    Call(fx.hooks.stop_tv);
    SetConnected(s, fx, false);
    // A pairing that never saw its OK must not make a later session ignore expiry answers.
    s.pairing_pending = false;
    Call(fx.hooks.clear_photos);
}

void SessionStep(SessionRecord& s, const SessionInputs& in, SessionEffects& fx) {
    if (!s.connected) {
        // The next connection checks for a release and announces the version at once.
        s.first_state_seen = false;
        Call(fx.hooks.reset_release_check);
    }
    GuardConnectStep(s, fx, [&] { ResumeStep(s, in, fx); });
    bool skip_automatic = false;
    GuardConnectStep(s, fx, [&] { skip_automatic = MailboxStep(s, in, fx); });
    GuardConnectStep(s, fx, [&] { ConsentPromptStep(s, in, fx, !skip_automatic); });
    PresenceStep(s, in, fx);
    if (s.connected && !s.token.empty()) Call(fx.hooks.offer_editor_session, s.settings.client, s.token);
    StateStep(s, in, fx);
    if (fx.media) PublishMediaSession(*fx.media, s.connected && s.consent_given ? s.token : std::string());
}

}  // namespace hm
