// EditorState: one server-described screen of the in-game computer, as parsed from the body of a
// 200 answer to GET /editor/state, plus what the plugin adds (status text, picture, video
// address). Texts stay in code page 1250 bytes exactly as the server sent them; the UI thread
// converts what it shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/pixels.h"

namespace hm {

// ScreenKind: the wire contract of line 10.
namespace screen_kind {
constexpr int kSignatureSheet = 1;
constexpr int kAttachmentList = 2;
constexpr int kConsent = 3;
constexpr int kTextPage = 4;
constexpr int kSearchResults = 7;
constexpr int kSignLockedDocument = 8;
constexpr int kAutomatic = 9;  // answered without a window
constexpr int kShortAnswer = 10;
constexpr int kHandwritten = 11;
constexpr int kBook = 15;
constexpr int kComputer = 16;
constexpr int kDelivery = 17;
constexpr int kCctvQuery = 18;
constexpr int kPhoto = 21;
constexpr int kSignOrDecline = 27;
constexpr int kAnswerButtons = 30;
constexpr int kMinigame = 31;
constexpr int kCallBlocking = 33;
constexpr int kLawBook = 34;
constexpr int kFileManager = 35;
constexpr int kFineTicket = 37;
}  // namespace screen_kind

// Picture modes (the field after the cover title).
namespace picture_mode {
constexpr int kAttachment = 2;
constexpr int kSketch = 3;
constexpr int kWebBackground = 4;
constexpr int kNewsVideo = 5;
}  // namespace picture_mode

// ScreenFlags bits the exchange itself looks at.
constexpr std::uint32_t kLiveScreenFlag = 0x4000000;

// Largest counts a state may announce.
constexpr int kMaxItemsFileManager = 10000;  // kind 35
constexpr int kMaxItemsBook = 2000;          // kind 15
constexpr int kMaxItems = 1000;              // every other kind
constexpr int kMaxSignatures = 32;
constexpr int kMaxElectronicSignatures = 128;

int MaxItemsForKind(int kind);

// One list item: a line of TAB-separated fields.
struct EditorItem {
    int id = 0;
    std::string label;
    std::string tag;             // route prefix for desktop icons ("app:..."), "bus-line;..." ...
    std::string slot;            // empty when the row has no fourth field
    std::uint32_t number = 0;    // 0 when the row has no fifth field
    bool operator==(const EditorItem& o) const;
};

struct EditorState {
    // --- wire fields, in body order -----------------------------------------------------------
    int request_id = 0;            // negative ids are the session's own dialogs, never the server's
    std::string title;
    std::string content;           // RTF when it begins "{\rtf1", plain text otherwise
    std::array<std::string, 4> buttons;  // labels; empty = no button
    bool read_only = false;
    std::string signature_line;
    int kind = 0;                  // ScreenKind
    std::string screen_id;
    std::string caption;
    std::vector<EditorItem> items;
    int page = 0;
    int page_count = 0;
    int record_count = 0;
    std::vector<std::string> signatures;
    bool paper = false;
    bool signable = false;
    std::vector<std::string> electronic_signatures;
    bool removable = false;
    bool option = false;           // opaque to the exchange; carried to the view
    bool scanned = false;
    int cover_type = 0;
    std::string cover_title;
    int picture_mode = 0;
    int picture_count = 0;
    int flags = 0;                 // ScreenFlags; read the bits through Flags()
    int picture_slot = 0;
    std::string initial_text;
    std::string clock_line;        // "clock=<minutes>" or anything else

    // --- added by the plugin ------------------------------------------------------------------
    // Failure notice for the status line; empty on arrival. When a copy of the screen already
    // shown comes back with a non-empty status text, that text replaces the one the view kept
    // (see StatusTextAfterUpdate).
    std::wstring status_text;
    PixelsRef picture;             // decoded screen picture, null when none
    std::string video_address;     // news video page (picture mode 5), empty when none

    std::uint32_t Flags() const { return static_cast<std::uint32_t>(flags); }
};

// Parses a /editor/state body (lines joined by "\n"; a trailing "\n" ends the last line). Fields
// after the end of the body keep their defaults. Throws std::runtime_error with "attachment
// count", "attachment row", "signature count", "signature line", "electronic signature count",
// "electronic signature", "negative request id" (the server never owns a negative id), or the
// integer texts "invalid stoi argument" / "stoi argument out of range" (and "invalid stoul
// argument" / "stoul argument out of range" for an item's number).
EditorState ParseEditorState(std::string_view body);

// Login or registration screen: kind 16 and either the flags' low three bits are 3 or the title
// holds "Přihlášení" or "Registrace".
bool IsLoginScreen(const EditorState& state);

// "clock=" followed by minutes since midnight: the value when it is 0..1439, else nothing.
std::optional<int> ParseClockLine(std::string_view line);

// The status text a view shows after an in-place update: the incoming one when it has one,
// otherwise the one the view kept.
const std::wstring& StatusTextAfterUpdate(const std::wstring& kept, const EditorState& incoming);

// EditorResult: "<request id>\n<action>\n<payload>".
struct EditorResult {
    int request_id = 0;
    int action = 0;      // EditorAction: 0 close, 1 confirm, 2 second button / sign, 3 web image, 4 new document...
    std::string payload;
    std::string Text() const;
};

}  // namespace hm
