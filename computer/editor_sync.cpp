#include "computer/editor_sync.h"

#include <mutex>
#include <stdexcept>
#include <utility>

#include "base/text1250.h"

namespace hm {
namespace {

const wchar_t* const kSketchFailedNotice = L"Skicu se nepodařilo připravit. Vrať se a zkus ji vložit znovu.";
const wchar_t* const kPictureFailedNotice = L"Fotografii se nepodařilo načíst. Můžeš přejít na další stranu.";
const wchar_t* const kFileUpdatedNotice = L"Spis byl aktualizován. Vyber dostupný soubor nebo akci znovu.";

// One pending action body: where it goes and the notice a refusal gives (prefix, status, suffix).
struct BodyEndpoint {
    EditorBody body;
    const char* path;
    const wchar_t* prefix;
    const wchar_t* suffix;
};

constexpr const wchar_t* kChangePrefix = L"Změna se nepodařila (HTTP ";
constexpr const wchar_t* kChangeSuffix = L"). Otevři dokument znovu.";
constexpr const wchar_t* kRefusedPrefix = L"Akci server odmítl (HTTP ";
constexpr const wchar_t* kRefusedSuffix = L"). Ověř oprávnění a aktuální stav spisu.";

// Steps 5-8: each group sends at most one body; a group's bodies not chosen are dropped with it.
// Within a group the first non-empty body in this order wins.
struct BodyGroup {
    BodyEndpoint endpoints[3];
    int count;
};
const BodyGroup kBodyGroups[] = {
    {{{EditorBody::kSignatureDelete, "/editor/signatures/delete", kChangePrefix, kChangeSuffix},
      {EditorBody::kPage, "/editor/page", kChangePrefix, kChangeSuffix},
      {EditorBody::kReorder, "/editor/reorder", kChangePrefix, kChangeSuffix}},
     3},
    {{{EditorBody::kDesktopPosition, "/editor/desktop-position", L"Rozložení ikon se nepodařilo uložit (HTTP ",
       L"). Otevři plochu znovu."}},
     1},
    {{{EditorBody::kFilesAction, "/editor/files-action", L"Přesun se nepodařil (HTTP ", L")."}}, 1},
    {{{EditorBody::kAttachment, "/editor/attachment", kRefusedPrefix, kRefusedSuffix},
      {EditorBody::kBook, "/editor/book", kRefusedPrefix, kRefusedSuffix}},
     2},
};

std::wstring StatusNotice(const wchar_t* prefix, int status, const wchar_t* suffix) {
    return prefix + std::to_wstring(status) + suffix;
}

ApiResponse Request(EditorSyncRecord& sync, EditorSyncEffects& fx, const char* method, const std::string& path,
                    const std::string& body = std::string()) {
    if (!fx.request) throw std::runtime_error("no transport");
    return fx.request(sync.client, method, path, sync.token, body, 0);
}

bool PostNewState(EditorSyncEffects& fx, const EditorState& state) {
    return fx.window && fx.window->post_new_state && fx.window->post_new_state(state);
}

void PostClose(EditorSyncEffects& fx) {
    if (fx.window && fx.window->post_close) fx.window->post_close();
}

void StartWindow(EditorSyncEffects& fx, const EditorState& state) {
    if (fx.window && fx.window->start) fx.window->start(state);
}

// The last state with a new status text, for the window to show again.
void RepostLastStateWithNotice(EditorExchange& ex, EditorSyncEffects& fx, std::wstring notice) {
    EditorState copy;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        ex.last_state.status_text = std::move(notice);
        copy = ex.last_state;
    }
    PostNewState(fx, copy);
}

// Failure handling of a refused answer: the state goes back to the window, or opens one.
void Reshow(EditorExchange& ex, EditorSyncEffects& fx, const EditorState& state) {
    if (ex.editor_open()) {
        PostNewState(fx, state);
    } else {
        StartWindow(fx, state);
    }
}

// Step 1.
void MinimiseToggle(EditorExchange& ex, EditorSyncRecord& sync, const EditorKeys& keys, int last_kind) {
    if (ex.login_screen.load()) ex.overlay.computer_minimized.store(false);
    const bool held = keys.ctrl && keys.f12 && keys.game_in_front;
    const bool pressed = held && !sync.hotkey_held;
    sync.hotkey_held = held;
    if (pressed && ex.editor_open() && !ex.login_screen.load() && last_kind != screen_kind::kConsent)
        ex.overlay.computer_minimized.store(!ex.overlay.computer_minimized.load());
}

// Step 3. Returns whether there was a sketch (the run ends either way).
bool UploadSketch(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx, Tick now) {
    PixelsRef sketch;
    int request_id = 0;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        if (!ex.pending_sketch) return false;
        sketch.swap(ex.pending_sketch);
        request_id = std::exchange(ex.pending_sketch_request, 0);
    }
    try {
        if (!fx.encode_sketch) throw std::runtime_error("sketch upload failed");
        const std::string image = fx.encode_sketch(*sketch);
        const ApiResponse answer =
            Request(sync, fx, "POST", "/editor/web-sketch?request=" + std::to_string(request_id), image);
        if (answer.status != 200) throw std::runtime_error("sketch upload failed");
    } catch (const std::exception&) {
        RepostLastStateWithNotice(ex, fx, kSketchFailedNotice);
        return true;
    }
    ex.current_request_id = 0;
    SetAwaitingAnswer(ex, now);
    return true;
}

// Steps 5-9. Returns whether a body was sent (the run ends).
bool SendPendingBody(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx) {
    const BodyEndpoint* chosen = nullptr;
    std::string body;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        for (const BodyGroup& group : kBodyGroups) {
            for (int i = 0; i < group.count; ++i) {
                std::string& pending = ex.bodies[int(group.endpoints[i].body)];
                if (!chosen && !pending.empty()) {
                    chosen = &group.endpoints[i];
                    body.swap(pending);
                }
                pending.clear();
            }
            if (chosen) break;
        }
    }
    if (!chosen) return false;
    const ApiResponse answer = Request(sync, fx, "POST", chosen->path, body);
    if (answer.status == 200) {
        ex.state_refresh_wanted = true;
        ex.next_poll_time = 0;
    } else {
        EditorState copy = CopyLastEditorState(ex);
        copy.status_text = StatusNotice(chosen->prefix, answer.status, chosen->suffix);
        PostNewState(fx, copy);
    }
    return true;
}

// The request id at the start of an answer text; answers of the session's own dialogs (negative
// ids) are never the server's business.
bool IsServerAnswer(const std::string& result) { return !result.empty() && result[0] != '-'; }

// The text after the second line of an answer: the payload.
std::string AnswerPayload(const std::string& result) {
    const std::size_t first = result.find('\n');
    if (first == std::string::npos) return std::string();
    const std::size_t second = result.find('\n', first + 1);
    return second == std::string::npos ? std::string() : result.substr(second + 1);
}

// Its action is 2: "\n2\n" right after the request id.
bool IsSecondAction(const std::string& result) {
    const std::size_t first = result.find('\n');
    return first != std::string::npos && result.compare(first, 3, "\n2\n") == 0;
}

// Clears the result slot unless the UI stored a newer answer while this one was on its way.
void ClearSentResult(EditorExchange& ex, const std::string& sent) {
    if (ex.result == sent) ex.result.clear();
}

bool IsSignButton(const std::string& label) { return label == "Podepsat" || label == "Elektronicky podepsat"; }

// Step 10 with the failure handling of /editor/result. Returns whether an answer was pending.
bool SendResult(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx) {
    std::string sent;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        if (ex.result.empty()) return false;
        if (!IsServerAnswer(ex.result)) {
            ex.result.clear();
            return false;
        }
        sent = ex.result;
    }
    const ApiResponse answer = Request(sync, fx, "POST", "/editor/result", sent);
    const int status = answer.status;
    if (status == 200 || status == 404) {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        ClearSentResult(ex, sent);
        return true;
    }
    const bool refused = status == 400 || status == 403 || status == 409 || status == 413;
    EditorState reshow;
    bool reshown = false;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        EditorState& last = ex.last_state;
        if (last.paper && IsSecondAction(sent) && status >= 400) {
            last.status_text = L"Podpis se nepodařilo uložit (API HTTP " + std::to_wstring(status) +
                               L"). Zkus to znovu; pokud chyba trvá, předej tento kód správci.";
            ClearSentResult(ex, sent);
            reshow = last;
            reshown = true;
        } else if (refused) {
            const int k = last.kind;
            if (k == screen_kind::kSignatureSheet || k == screen_kind::kAttachmentList ||
                k == screen_kind::kSearchResults || k == screen_kind::kSignLockedDocument || IsSignButton(last.buttons[1])) {
                ClearSentResult(ex, sent);
                ex.current_request_id = 0;
                ex.pending_notice = kFileUpdatedNotice;
            } else {
                const wchar_t* reason = k == screen_kind::kCctvQuery ? L"Zkontroluj datum a pořadí OD–DO"
                                        : status == 413             ? L"Text překračuje kapacitu serveru"
                                        : status == 409             ? L"Dokument se změnil nebo byl uzamčen"
                                                                    : L"Uložení server odmítl";
                if (k != screen_kind::kCctvQuery) last.content = AnswerPayload(sent);
                last.status_text = reason + (L" (HTTP " + std::to_wstring(status)) + L"). Text zůstává zde.";
                ClearSentResult(ex, sent);
                reshow = last;
                reshown = true;
            }
        }
    }
    if (reshown) Reshow(ex, fx, reshow);
    return true;
}

void ApplyClock(EditorExchange& ex, std::string_view line) {
    if (const std::optional<int> minutes = ParseClockLine(line)) ex.game_clock.store(*minutes);
}

std::string_view FirstLine(const std::string& body) {
    const std::size_t end = body.find('\n');
    return std::string_view(body).substr(0, end);
}

// Step 15: the screen's picture. A failure leaves the state to be shown with a notice, so the
// poll does not fetch the same picture again and again.
void FetchPicture(EditorState& st, EditorSyncRecord& sync, EditorSyncEffects& fx) {
    const bool web = st.picture_mode == picture_mode::kWebBackground;
    if (!((st.kind == screen_kind::kBook || st.kind == screen_kind::kPhoto || web) && st.picture_count > 0)) return;
    const std::string id = std::to_string(st.request_id);
    const std::string path = web ? "/editor/web-background?request=" + id
                             : st.kind == screen_kind::kPhoto
                                 ? "/editor/attachment-photo?request=" + id
                                 : "/editor/book-photo?request=" + id + "&page=" + std::to_string(st.page);
    try {
        const ApiResponse answer = Request(sync, fx, "GET", path);
        if (answer.status != 200) throw std::runtime_error("book photo unavailable");
        if (!fx.decode_picture) throw std::runtime_error("invalid picture");
        st.picture = fx.decode_picture(answer.body);
        if (!st.picture) throw std::runtime_error("invalid picture");
    } catch (const std::exception&) {
        st.picture.reset();
        st.status_text = kPictureFailedNotice;
    }
}

// Steps 14-18 for a 200 answer.
void TakeState(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx, Tick now, std::string& body) {
    EditorState st = ParseEditorState(body);
    ApplyClock(ex, st.clock_line);

    const bool open = ex.editor_open();
    std::uint32_t last_flags = 0;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        last_flags = ex.last_state.Flags();
    }
    const bool live = (last_flags & kLiveScreenFlag) != 0;
    const bool awaiting = ex.awaiting_answer.load();
    const bool same_id = st.request_id == ex.current_request_id;
    if (same_id || open) {
        if (!(ex.state_refresh_wanted || awaiting || live)) return;
    }
    if (live && same_id) {
        if (body == ex.last_body) return;
    }
    ex.last_body.swap(body);

    FetchPicture(st, sync, fx);
    if (st.picture_mode == picture_mode::kNewsVideo && fx.news_page_address) {
        const std::string page = fx.news_page_address();
        if (!page.empty()) st.video_address = page + "&news=" + std::to_string(st.request_id);
    }
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        if (!ex.pending_notice.empty()) {
            st.status_text.swap(ex.pending_notice);
            ex.pending_notice.clear();
        }
    }
    ex.current_request_id = st.request_id;

    // Step 18: delivery.
    if (st.kind == screen_kind::kAutomatic && st.paper) {
        const std::string answer = std::to_string(st.request_id) + (st.buttons[1].empty() ? "\n0\n" : "\n2\n{\\rtf1}");
        {
            std::lock_guard<std::mutex> hold(ex.overlay.lock);
            ex.last_state = std::move(st);
            ex.result = answer;
        }
        SetAwaitingAnswer(ex, now);
        return;
    }
    const bool refresh = ex.state_refresh_wanted;
    ex.state_refresh_wanted = false;
    if ((refresh || awaiting || IsLoginScreen(st) || live) && open) {
        {
            std::lock_guard<std::mutex> hold(ex.overlay.lock);
            ex.last_state = st;
        }
        PostNewState(fx, st);
    } else if (!open) {
        StartWindow(fx, st);
    }
}

// Steps 11-14.
void PollState(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx, Tick now) {
    const bool with_current = ex.editor_open() && ex.current_request_id >= 1 && !ex.state_refresh_wanted &&
                              !ex.awaiting_answer.load();
    ApiResponse answer = Request(sync, fx, "GET",
                                 with_current ? "/editor/state?current=" + std::to_string(ex.current_request_id)
                                              : std::string("/editor/state"));
    switch (answer.status) {
    case 202: {
        ApplyClock(ex, FirstLine(answer.body));
        if (ex.awaiting_answer.load()) {
            Tick deadline = 0;
            {
                std::lock_guard<std::mutex> hold(ex.overlay.lock);
                deadline = ex.answer_deadline;
            }
            if (IsDue(now, deadline)) PostClose(fx);
        }
        return;
    }
    case 204:
        if (ex.editor_open()) PostClose(fx);
        return;
    case 200:
        TakeState(ex, sync, fx, now, answer.body);
        return;
    default:
        return;
    }
}

}  // namespace

void OfferEditorSession(EditorSyncRecord& sync, const ApiClient& client, const std::string& token) {
    // Assignments into kept capacity: the hand-off runs every pass.
    sync.client = client;
    sync.token = token;
}

void CloseEditorSession(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx) {
    PostClose(fx);
    sync.token.clear();
    ex.current_request_id = 0;
    ex.state_refresh_wanted = false;
    ex.last_body.clear();
    ex.next_poll_time = 0;
}

void EditorSyncPass(EditorExchange& ex, EditorSyncRecord& sync, EditorSyncEffects& fx, Tick now,
                    const EditorKeys& keys) {
    int last_kind = 0, last_id = 0;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        last_kind = ex.last_state.kind;
        last_id = ex.last_state.request_id;
    }
    MinimiseToggle(ex, sync, keys, last_kind);
    if (ex.editor_open() && last_id < 0) return;  // a session dialog is answered locally
    if (sync.token.empty()) return;
    if (UploadSketch(ex, sync, fx, now)) return;
    if (!IsDue(now, ex.next_poll_time)) return;
    ex.next_poll_time = now + kEditorPacingMs;
    if (SendPendingBody(ex, sync, fx)) return;
    if (SendResult(ex, sync, fx)) return;
    PollState(ex, sync, fx, now);
}

}  // namespace hm
