// The answer payload of a server screen: the tiny RTF groups whose control words tell the server
// what the player chose, or the edited document itself. One function over a plain record that
// each screen fills with what it knows; the submit routine sends what it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hm {

constexpr const wchar_t* kDocumentTooLongText = L"Dokument je příliš dlouhý (limit 16 kB včetně formátování).";
constexpr const wchar_t* kSignFirstClickText = L"Podpis dokument uzamkne. Potvrď jej druhým kliknutím na Potvrdit podpis.";

// Everything the payload may depend on. Fields a screen does not have keep their defaults.
struct PayloadInputs {
    int kind = 0;
    int action = 0;
    std::uint32_t flags = 0;
    bool read_only = false;   // read-only flag, scanned copy, or kind 3
    bool paper = false;
    std::string screen_id;
    std::string button2;      // label of the second button (code page 1250)

    // The main control's RTF as streamed out (objects not yet removed); asked only when the
    // document is what goes out. Null: the screen has no text control.
    std::function<std::string()> document_rtf;

    // Texts typed into the controls, as UTF-16.
    std::u16string text;       // kind 33: the block reason; kind 18: first field; kind 17: names
    std::u16string text2;      // kind 18: second field; kind 17: e-mails
    int block_mode = 0;        // kind 33
    int delivery_mask = 0;     // kind 17

    // Selection.
    bool has_selection = false;
    int selected_id = 0;
    std::string selected_tag;
    std::optional<int> delete_message_id;  // a pending delete-messages action

    // Extensions.
    bool new_document_allowed = false;  // kind 35
    int file_action = 0;                // kind 35: 1-based, 0 none
    bool file_manage = false;           // kind 35
    std::optional<int> web_image_id;    // a sketch chosen in the insert-picture chooser
    int paper_action = 0;               // kind 16 paper desktop: 0 none

    bool sign_confirmed = false;        // the first of two signing clicks was given
};

struct PayloadOutcome {
    enum class Kind {
        kSend,          // send `payload`
        kRefused,       // validation failed: show `status`, send nothing
        kConfirmFirst,  // first of two clicks: set the confirmation, show `status`, send nothing
    };
    Kind kind = Kind::kSend;
    std::string payload;
    std::wstring status;
    bool paper_action_used = false;  // the chosen paper action went out: clear it
};

PayloadOutcome BuildPayload(const PayloadInputs& in);

// A typed text made safe inside an RTF group: "\", "{" and "}" get a backslash; every unit
// outside 32..126 becomes "\u" + its value as a signed 16-bit number + "?".
std::string RtfEscape(std::u16string_view text);

// Extends a selection group: its closing "}" goes, `word` + `number` + " }" follows.
std::string ExtendPayload(std::string_view payload, std::string_view word, long long number);

}  // namespace hm
