// The in-game computer's side of the fake community API: one server screen, form 7 (a short
// Czech text answer, kind 10), answered from each request as the real server would.
//   GET  /editor/state            200 with the form while it is open; with "?current=7" 202 and
//                                 the game clock instead; 204 before it opens and after it closed
//   POST /editor/result           the answer is recorded; "7\n..." closes the form (200); with
//                                 reopen_after_polls the form opens again that many polls later,
//                                 and a poll without "?current=" while it is open (the player's
//                                 computer does not show it) gets it again as a new screen
//   POST /editor/web-sketch       the PNG's size is recorded (200); the form is sent again
// After OpenComputer() the computer's desktop follows (ids below), driven the same way:
//   31 the desktop (kind 16): Word (slot 0), Mail (1), the contract "Smlouva o prodeji" (id 12,
//      slot 3), the book "Provozní řád" (id 15, slot 4) and Archiv (slot 22, on page 2);
//      "31\n1\n{\rtf1\hmsel12 }" opens the contract, "31\n1\n{\rtf1\hmsel15 }" the book,
//      action 0 closes the computer
//   50 the book (kind 15): cover (page 0), contents of three chapters (page 1, ids 2..4 = their
//      pages), pages 2..4 whose text is RTF; action 4 ("Zavřít") goes back to the desktop,
//      action 0 closes the computer
//   POST /editor/book "50\n<page>" turns to page 0..4 (200); anything else 400
//   40 the contract's signature sheet (kind 1, signable); "40\n2\n{\rtf1\hmsign1 }" signs it
//      (the sheet comes back with the electronic signature, removable), action 1 goes back to
//      the desktop
//   POST /editor/signatures/delete "40\n0" removes the signature again (200); anything else 400
//   POST /editor/desktop-position "31\n<icon key>\n<slot>" moves the icon, swapping with the one
//      there (200); anything else 400
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tools/fake_api/fake_api.h"

namespace hm::fake {

constexpr int kEditorFormId = 7;
constexpr int kDesktopScreenId = 31;
constexpr int kContractSheetId = 40;
constexpr int kContractItemId = 12;
constexpr int kBookScreenId = 50;
constexpr int kBookItemId = 15;
constexpr int kBookPages = 5;  // cover, contents, three pages

struct EditorWorldOptions {
    int open_after_polls = 0;  // polls answered 204 before the form opens
    int clock_minutes = 1234;  // 20:34 in the 202 answers
    int picture_slot = 0;      // > 0: the form takes a picture taken in the game...
    int picture_mode = 0;      // ... uploaded as a sketch with mode 3
    int computer_after_polls = -1;  // >= 0: the desktop opens that many polls after the form's answer
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

    // The computer's desktop opens at the next poll.
    void OpenComputer();
    std::string DesktopBody() const;
    std::string SheetBody() const;
    std::string BookBody() const;
    std::vector<std::string> BookBodies() const;
    int BookPage() const;
    std::vector<std::string> PositionBodies() const;
    std::vector<std::string> SignatureDeleteBodies() const;
    bool Signed() const;
    int ComputerScreen() const;  // 31, 40, 50, or 0 when closed

private:
    FakeApi::Responder StateResponder();
    Reply ComputerResult(const std::string& body);
    Reply MoveIcon(const std::string& body);
    Reply DeleteSignature(const std::string& body);
    Reply TurnPage(const std::string& body);
    void OpenComputerLocked();

    struct Icon {
        int id;
        std::u16string label;
        std::string tag;
        int slot;
    };
    int IdOfRound() const;  // the lock held

    EditorWorldOptions options_;
    mutable std::mutex lock_;
    int polls_ = 0;
    bool closed_ = false;
    int openings_ = 0;
    std::vector<std::string> results_;
    std::vector<SketchUpload> sketches_;
    int computer_screen_ = 0;
    int polls_after_form_ = 0;
    bool signed_ = false;
    std::vector<Icon> icons_;
    std::vector<std::string> position_bodies_;
    std::vector<std::string> signature_delete_bodies_;
    int book_page_ = 0;
    std::vector<std::string> book_bodies_;
};

// Width and height of a PNG from its IHDR chunk; false when `bytes` is not one.
bool PngSize(const std::string& bytes, unsigned& width, unsigned& height);

// An editor request's body for a log: texts with their line breaks shown as "\n" and bytes
// outside printable ASCII as \xNN; a PNG as its size.
std::string DescribeEditorBody(const std::string& body);

}  // namespace hm::fake
