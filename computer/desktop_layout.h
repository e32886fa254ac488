// The computer's desktop (kind 16): which layout a screen is drawn with, where each item sits,
// how many pages there are and which glyph an icon shows. Portable; the UI thread draws and
// answers from these.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "computer/editor_state.h"
#include "ui/colour.h"
#include "ui/drawing.h"

namespace hm {

// ScreenFlags of kind 16.
namespace desktop_flag {
constexpr std::uint32_t kCompact = 0x8;
constexpr std::uint32_t kMultiLine = 0x10;
constexpr std::uint32_t kIconBits = 0xE0;        // any: an icon desktop
constexpr std::uint32_t kWeb = 0x40;
constexpr std::uint32_t kIconStyle = 0x80;
constexpr std::uint32_t kCarried = 0x200000;
constexpr std::uint32_t kPaperActions = 0x400000;
constexpr std::uint32_t kFolders = 0x800000;
constexpr std::uint32_t kInstitution = 0x2000000;
constexpr std::uint32_t kMap = 0x4000000;
constexpr std::uint32_t kTitleHeader = 0x8000000;
constexpr std::uint32_t kFourButtons = 0x20000000;
constexpr std::uint32_t kWebImage = 0x40000000;
}  // namespace desktop_flag

// Every mask below is read as "any of its bits".
constexpr bool AnyBit(std::uint32_t flags, std::uint32_t mask) { return (flags & mask) != 0; }

enum class ComputerLayout {
    kDialogPanel,   // identity card and dialogs, scanner, short e-mail menus
    kEntryPanel,    // one-line entry (login, registration, password)
    kCompact,       // the phone-sized frame
    kWebDesktop,    // slot desktop with the web theme
    kSlotDesktop,   // slot desktop (carried-documents view included)
    kLegacyGrid,    // window with the icon grid
    kListWindow,    // window with a list of rows
    kTextWindow,    // window with a text page or text box
};
ComputerLayout ChooseComputerLayout(const EditorState& s);
// The window drawn for a screen: inside the compact frame the same cases as a full-size window
// (legacy grid for icon menus, list for other menus, text window otherwise); elsewhere the layout.
ComputerLayout WindowLayout(const EditorState& s);
bool IsSlotDesktopLayout(ComputerLayout l);
bool IsMenuSubMode(int sub);

// The compact (phone-sized) frame: a dark rounded body with the window inside it.
constexpr UiRect kCompactBody{216, 0, 594, 760};
constexpr int kCompactBodyRadius = 42;
constexpr UiRect kCompactWindow{230, 24, 580, 746};
constexpr ColorRef kCompactBodyColour = RgbRef(27, 31, 38);
bool IsCompactFrame(const EditorState& s);  // kind 16 drawn in the compact frame

// ---- Glyphs ---------------------------------------------------------------------------------

// Upper case of a label as CharUpperW gives it for every character code page 1250 can carry.
char16_t UpperUnit(char16_t u);
std::u16string UpperCase(std::u16string_view text);

int DesktopGlyph(std::string_view label_cp1250);  // the desktop rule, then the police rule
int PoliceGlyph(std::string_view label_cp1250);   // case-sensitive, on the label as sent
int HospitalGlyph(int item_id);                   // ids 1..8; 0 for any other
constexpr int kLogoutGlyph = 23;
// The glyph an item of this screen shows.
int ItemGlyph(const EditorState& s, const EditorItem& item, bool desktop_rule);

constexpr int kGlyphCount = 34;  // glyph numbers 0..33
// The background colour glyph `glyph` is painted on (each glyph has its own; out of range: the last).
ColorRef GlyphColour(int glyph);

bool IsHomeItem(const EditorItem& item);
bool IsLogoutItem(const EditorItem& item);

// A label as shown (UTF-16): "E-SPIS:" and "R-SPIS:" prefixes removed.
std::u16string DisplayLabel(std::string_view label_cp1250);

// ---- Placement --------------------------------------------------------------------------------

// Slots beyond this are not honoured (a grid of at most 1000 items never needs them).
constexpr long long kMaxSlot = 20 * kMaxItems - 1;

struct DesktopPlacement {
    bool slot_placement = false;        // some item carries an "app:" tag
    std::map<long long, int> at;        // grid position -> item index; one owner per position
    std::vector<long long> position;    // item index -> position, -1 when not in the grid
    int home = -1;                      // item index of the home and logout items, -1 none
    int logout = -1;
    long long positions = 0;            // highest slot + 1, or the item count in the grid
    int per_page = 20;
    long long pages = 1;
};

// "app:" items go to their slot (a decimal number 0..kMaxSlot; a slot already taken or not a
// number places the item like an untagged one); the other items take the free positions in list
// order. The home and logout items stay out of the grid.
DesktopPlacement PlaceDesktop(const EditorState& s);
int TilesPerPage(const EditorState& s);

// "Strana " + page + " / " + pages (page 0-based in).
std::wstring PageText(long long page, long long pages);

// Slot text of a position.
std::string SlotText(long long position);

}  // namespace hm
