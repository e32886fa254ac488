#include "computer/editor_exchange.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "computer/editor_window_seam.h"

namespace hm {

EditorExchange& PluginEditorExchange() {
    static EditorExchange& exchange = *new EditorExchange(PluginOverlay());
    return exchange;
}

EditorWindowSeam& PluginEditorWindow() {
    static EditorWindowSeam& seam = *new EditorWindowSeam;
    return seam;
}

bool ClaimEditorOpen(EditorExchange& ex, const EditorState& state) {
    if (ex.overlay.editor_open.exchange(true)) return false;
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        ex.last_state = state;
    }
    ex.login_screen.store(IsLoginScreen(state));
    ex.overlay.computer_minimized.store(false);
    return true;
}

void EditorWindowGone(EditorExchange& ex) {
    ex.login_screen.store(false);
    ex.awaiting_answer.store(false);
}

void ReleaseEditorOpen(EditorExchange& ex) { ex.overlay.editor_open.store(false); }

EditorState CopyLastEditorState(EditorExchange& ex) {
    std::lock_guard<std::mutex> hold(ex.overlay.lock);
    return ex.last_state;
}

void EditorStateShown(EditorExchange& ex, const EditorState& state) {
    const bool login = IsLoginScreen(state);
    ex.login_screen.store(login);
    if (login) ex.overlay.computer_minimized.store(false);
    ex.awaiting_answer.store(false);
}

bool SubmitEditorResult(EditorExchange& ex, const EditorResult& answer, bool await_answer, Tick now) {
    if (answer.request_id < 0) return false;
    std::string text = answer.Text();
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        for (EditorBody b : {EditorBody::kPage, EditorBody::kReorder, EditorBody::kSignatureDelete,
                             EditorBody::kFilesAction, EditorBody::kBook, EditorBody::kAttachment})
            ex.bodies[int(b)].clear();
        ex.result.swap(text);
        if (await_answer) ex.answer_deadline = now + kAnswerWaitMs;
    }
    if (await_answer) ex.awaiting_answer.store(true);
    return true;
}

void SetAwaitingAnswer(EditorExchange& ex, Tick now) {
    {
        std::lock_guard<std::mutex> hold(ex.overlay.lock);
        ex.answer_deadline = now + kAnswerWaitMs;
    }
    ex.awaiting_answer.store(true);
}

void PostEditorBody(EditorExchange& ex, EditorBody which, std::string body) {
    std::lock_guard<std::mutex> hold(ex.overlay.lock);
    ex.bodies[int(which)].swap(body);
}

void SetPendingSketch(EditorExchange& ex, int request_id, PixelsRef sketch) {
    std::lock_guard<std::mutex> hold(ex.overlay.lock);
    ex.pending_sketch.swap(sketch);
    ex.pending_sketch_request = request_id;
}

std::wstring GameClockText(const EditorExchange& ex) {
    const int minutes = ex.game_clock.load();
    if (minutes < 0 || minutes > 1439) return L"--:--";
    wchar_t text[8];
    std::swprintf(text, 8, L"%02d:%02d", minutes / 60, minutes % 60);
    return text;
}

}  // namespace hm
