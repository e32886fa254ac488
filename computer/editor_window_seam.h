// How the worker side reaches the UI thread's window. The UI thread's code fills the plugin's
// instance; tests pass their own. Every member may be empty (then it does nothing and reports
// failure).
#pragma once

#include <functional>

#include "computer/editor_state.h"

namespace hm {

struct EditorWindowSeam {
    // Start: when the editor is not open, claims it (ClaimEditorOpen) and starts the UI thread
    // with its own copy of `state`. Returns whether a thread was started.
    std::function<bool(const EditorState& state)> start;
    // NewStateMessage with a heap copy of `state` (the receiver frees it; the sender frees it
    // when the post fails). Returns false when there was no window to post to.
    std::function<bool(const EditorState& state)> post_new_state;
    // CloseEditorMessage. Returns false when there was no window to post to.
    std::function<bool()> post_close;
};

// The plugin's window seam; filled once before the worker loop runs.
EditorWindowSeam& PluginEditorWindow();

}  // namespace hm
