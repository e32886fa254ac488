// The in-game computer's side of the fake community API: one server screen, form 7 (a short
// Czech text answer, kind 10), answered from each request as the real server would.
//   GET  /editor/state            200 with the form while it is open; with "?current=7" 202 and
//                                 the game clock instead; 204 before it opens and after it closed
//   POST /editor/result           the answer is recorded; "7\n..." closes the form (200); with
//                                 reopen_after_polls the form opens again that many polls later,
//                                 and a poll without "?current=" while it is open (the player's
//                                 computer does not show it) gets it again as a new screen
//   POST /editor/web-sketch       the PNG's size is recorded (200); the form is sent again
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tools/fake_api/fake_api.h"

namespace hm::fake {

constexpr int kEditorFormId = 7;

struct EditorWorldOptions {
    int open_after_polls = 0;  // polls answered 204 before the form opens
    int clock_minutes = 1234;  // 20:34 in the 202 answers
    int picture_slot = 0;      // > 0: the form takes a picture taken in the game...
    int picture_mode = 0;      // ... uploaded as a sketch with mode 3
    int reopen_after_polls = -1;  // >= 0: after an answer closed it, the form opens again (-1: never)
};

// A PNG the plugin uploaded as a sketch.
struct SketchUpload {
    std::string query;          // "request=7"
    std::size_t bytes = 0;
    unsigned width = 0, height = 0;  // from the IHDR chunk; 0 when the body is not a PNG
};

class EditorWorld {
public:
    explicit EditorWorld(EditorWorldOptions options = {}) : options_(options) {}
    EditorWorld(const EditorWorld&) = delete;
    EditorWorld& operator=(const EditorWorld&) = delete;

    // Installs the three responders; the world must outlive the server's use of them.
    void Attach(FakeApi& api);

    // The form's body as the server sends it (code page 1250), with request id `id`.
    std::string FormBody(int id = kEditorFormId) const;
    // Its request id: 7, and 17, 27, ... in the later rounds of reopen_after_polls.
    int FormId() const;

    std::vector<std::string> Results() const;
    std::vector<SketchUpload> Sketches() const;
    bool FormOpen() const;
    int Openings() const;  // how often the form was opened (a poll saw it after 204s)

private:
    FakeApi::Responder StateResponder();
    int IdOfRound() const;  // the lock held

    EditorWorldOptions options_;
    mutable std::mutex lock_;
    int polls_ = 0;
    bool closed_ = false;
    int openings_ = 0;
    std::vector<std::string> results_;
    std::vector<SketchUpload> sketches_;
};

// Width and height of a PNG from its IHDR chunk; false when `bytes` is not one.
bool PngSize(const std::string& bytes, unsigned& width, unsigned& height);

// An editor request's body for a log: texts with their line breaks shown as "\n" and bytes
// outside printable ASCII as \xNN; a PNG as its size.
std::string DescribeEditorBody(const std::string& body);

}  // namespace hm::fake
