#include "computer/desktop_layout.h"

#include <algorithm>
#include <initializer_list>

#include "base/text1250.h"

namespace hm {
namespace {

namespace df = desktop_flag;

bool Has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }
bool Has16(std::u16string_view text, std::u16string_view part) { return text.find(part) != std::u16string_view::npos; }
bool StartsWith(std::string_view text, std::string_view part) { return text.substr(0, part.size()) == part; }

struct DesktopRule {
    std::initializer_list<std::u16string_view> texts;
    int glyph;
};
// First match wins; a rule matches when the upper-cased label contains one of its texts.
const DesktopRule kDesktopRules[] = {
    {{u"A-RADNICE"}, 31},
    {{u"MAIL"}, 4},
    {{u"WORD", u"TEXTOV"}, 5},
    {{u"DOKUMENT", u"SLOZKA", u"SLOŽKA"}, 22},
    {{u"HLEDÁNÍ MIN", u"HLEDANI MIN", u"MINY"}, 33},
    {{u"VYHLED", u"HLED"}, 6},
    {{u"SCANNER", u"SKENER"}, 16},
    {{u"NASTAV", u"NASTAVENÍ", u"SPRAVA", u"SPRÁVA"}, 10},
    {{u"ODHL"}, 23},
    {{u"PISKV", u"PIŠKV"}, 32},
    {{u"LINES"}, 24},
    {{u"DAMA", u"DÁMA"}, 25},
    {{u"INTERNET", u"COOGLE"}, 21},
    {{u"NVPD", u"CSPD", u"SAN ANDREAS PD"}, 7},
    {{u"NEMOC", u"HOSPIC"}, 26},
    {{u"SAFD"}, 30},
    {{u"SLUZBY", u"SLUŽBY"}, 3},
    {{u"NEVADA", u"COUNTRYSIDE"}, 31},
    {{u"NOVINK", u"KART", u"ZALO"}, 21},
    {{u"KONTAKT"}, 8},
    {{u"WEBOV"}, 21},
};

enum class Match { kStarts, kEquals, kContains };
struct PoliceRule {
    Match match;
    std::string_view text;
    int glyph;
};
const PoliceRule kPoliceRules[] = {
    {Match::kStarts, "Maj", 7},      {Match::kEquals, "PATROS", 8},  {Match::kStarts, "Lustr", 6},
    {Match::kStarts, "Instr", 9},    {Match::kEquals, "IOS", 20},    {Match::kStarts, "Hran", 11},
    {Match::kEquals, "CCTV", 12},    {Match::kContains, "skener", 16}, {Match::kStarts, "E-SPIS", 29},
    {Match::kStarts, "Mapa", 13},    {Match::kStarts, "Kamer", 14},  {Match::kStarts, "Registr", 15},
    {Match::kStarts, "Zat", 27},     {Match::kStarts, "Blok", 18},   {Match::kStarts, "Sklad", 19},
};

// A slot text that names a grid position: decimal digits only, within 0..kMaxSlot.
bool ParseSlot(std::string_view text, long long& out) {
    if (text.empty() || text.size() > 6) return false;
    long long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > kMaxSlot) return false;
    out = v;
    return true;
}

}  // namespace

bool IsMenuSubMode(int sub) { return sub == 2 || sub == 4 || sub == 5; }

ComputerLayout ChooseComputerLayout(const EditorState& s) {
    const std::uint32_t f = s.Flags();
    const int sub = int(f & 7u);
    const bool menu = IsMenuSubMode(sub);
    const std::string& id = s.screen_id;
    if (!AnyBit(f, 0x242000C8u) && id != "hospic-record") {
        const bool mail = AnyBit(f, 0x2800000u) || Has(s.title, "E-mail") || Has(s.title, "E-Mail");
        const bool mail_dialog = mail && (((sub == 2 || sub == 4) && !s.items.empty() && s.items.size() <= 5) ||
                                          (sub == 0 && s.content.size() < 1200));
        if (id == "identity-card" || (id == "identity-dialog" && sub != 1 && sub != 3) ||
            (id == "field-inspection" && !menu) || (id == "scanner" && sub == 2) || mail_dialog)
            return ComputerLayout::kDialogPanel;
    }
    if ((sub == 1 || sub == 3) && !AnyBit(f, 0x18u)) return ComputerLayout::kEntryPanel;
    if (AnyBit(f, df::kCompact)) return ComputerLayout::kCompact;
    if (menu && AnyBit(f, df::kWeb) && !AnyBit(f, 0x2000080u)) return ComputerLayout::kWebDesktop;
    if (AnyBit(f, df::kCarried) || (menu && AnyBit(f, 0x2000080u))) return ComputerLayout::kSlotDesktop;
    if (menu && AnyBit(f, df::kIconBits)) return ComputerLayout::kLegacyGrid;
    if (menu) return ComputerLayout::kListWindow;
    return ComputerLayout::kTextWindow;
}

ComputerLayout WindowLayout(const EditorState& s) {
    const ComputerLayout l = ChooseComputerLayout(s);
    if (l != ComputerLayout::kCompact) return l;
    const std::uint32_t f = s.Flags();
    if (!IsMenuSubMode(int(f & 7u))) return ComputerLayout::kTextWindow;
    return AnyBit(f, df::kIconBits) ? ComputerLayout::kLegacyGrid : ComputerLayout::kListWindow;
}

bool IsCompactFrame(const EditorState& s) {
    return s.kind == screen_kind::kComputer && ChooseComputerLayout(s) == ComputerLayout::kCompact;
}

bool IsSlotDesktopLayout(ComputerLayout l) {
    return l == ComputerLayout::kSlotDesktop || l == ComputerLayout::kWebDesktop;
}

char16_t UpperUnit(char16_t u) {
    if (u >= u'a' && u <= u'z') return char16_t(u - 32);
    // The micro sign stays as it is, as CharUpperW leaves it.
    if (u >= 0x00E0 && u <= 0x00FE && u != 0x00F7) return char16_t(u - 32);
    if (u >= 0x0100 && u <= 0x017F) {
        // Latin Extended-A pairs: upper even / lower odd, except 0139..0148 and 0179..017E.
        const bool odd_upper = (u >= 0x0139 && u <= 0x0148) || (u >= 0x0179 && u <= 0x017E);
        if (u == 0x0131 || u == 0x0138 || u == 0x0149 || u == 0x017F) return u;
        if (odd_upper) return (u % 2 == 0) ? char16_t(u - 1) : u;
        return (u % 2 == 1) ? char16_t(u - 1) : u;
    }
    return u;
}

std::u16string UpperCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& u : out) u = UpperUnit(u);
    return out;
}

int PoliceGlyph(std::string_view label) {
    for (const PoliceRule& r : kPoliceRules) {
        const bool hit = r.match == Match::kStarts   ? StartsWith(label, r.text)
                         : r.match == Match::kEquals ? label == r.text
                                                     : Has(label, r.text);
        if (hit) return r.glyph;
    }
    return 20;
}

int DesktopGlyph(std::string_view label) {
    const std::u16string upper = UpperCase(Cp1250ToUtf16(label));
    for (const DesktopRule& r : kDesktopRules)
        for (const std::u16string_view t : r.texts)
            if (Has16(upper, t)) return r.glyph;
    return PoliceGlyph(label);
}

int HospitalGlyph(int id) {
    constexpr int kGlyphs[8] = {22, 8, 26, 5, 6, 6, 5, 20};
    return id >= 1 && id <= 8 ? kGlyphs[id - 1] : 0;
}

int ItemGlyph(const EditorState& s, const EditorItem& item, bool desktop_rule) {
    if (StartsWith(s.screen_id, "desktop:hospic:"))
        if (const int g = HospitalGlyph(item.id)) return g;
    return desktop_rule ? DesktopGlyph(item.label) : PoliceGlyph(item.label);
}

ColorRef GlyphColour(int glyph) {
    // Distinct hues around the wheel; glyph numbers out of range get the last one.
    static const ColorRef kColours[kGlyphCount] = {
        RgbRef(120, 130, 145), RgbRef(96, 125, 139), RgbRef(84, 110, 122),  RgbRef(0, 150, 136),
        RgbRef(229, 57, 53),   RgbRef(30, 136, 229), RgbRef(94, 53, 177),   RgbRef(21, 47, 105),
        RgbRef(0, 137, 123),   RgbRef(57, 73, 171),  RgbRef(117, 117, 117), RgbRef(109, 76, 65),
        RgbRef(55, 71, 79),    RgbRef(67, 160, 71),  RgbRef(38, 50, 56),    RgbRef(142, 36, 170),
        RgbRef(251, 140, 0),   RgbRef(124, 179, 66), RgbRef(192, 57, 43),   RgbRef(141, 110, 99),
        RgbRef(69, 90, 100),   RgbRef(3, 155, 229),  RgbRef(249, 168, 37),  RgbRef(198, 40, 40),
        RgbRef(0, 172, 193),   RgbRef(93, 64, 55),   RgbRef(211, 47, 47),   RgbRef(173, 20, 87),
        RgbRef(126, 87, 194),  RgbRef(40, 53, 147),  RgbRef(230, 81, 0),    RgbRef(121, 85, 72),
        RgbRef(46, 125, 50),   RgbRef(97, 97, 97),
    };
    return kColours[glyph >= 0 && glyph < kGlyphCount ? glyph : kGlyphCount - 1];
}

bool IsHomeItem(const EditorItem& item) {
    const std::u16string upper = UpperCase(Cp1250ToUtf16(item.label));
    return Has16(upper, u"PLOCH") || upper == u"DOMŮ";
}

bool IsLogoutItem(const EditorItem& item) { return DesktopGlyph(item.label) == kLogoutGlyph; }

std::u16string DisplayLabel(std::string_view label) {
    if (StartsWith(label, "E-SPIS:") || StartsWith(label, "R-SPIS:")) label.remove_prefix(7);
    return Cp1250ToUtf16(label);
}

int TilesPerPage(const EditorState& s) {
    const std::uint32_t f = s.Flags();
    if (AnyBit(f, df::kCarried)) return 6;
    if ((IsMenuSubMode(int(f & 7u)) && !s.initial_text.empty()) || AnyBit(f, df::kInstitution)) return 8;
    return 20;
}

DesktopPlacement PlaceDesktop(const EditorState& s) {
    DesktopPlacement p;
    const int n = int(s.items.size());
    p.position.assign(std::size_t(n), -1);
    p.per_page = TilesPerPage(s);
    std::vector<int> unplaced;
    for (int i = 0; i < n; ++i) {
        const EditorItem& item = s.items[std::size_t(i)];
        if (p.home < 0 && IsHomeItem(item)) {
            p.home = i;
            continue;
        }
        if (p.logout < 0 && IsLogoutItem(item)) {
            p.logout = i;
            continue;
        }
        long long slot = 0;
        if (StartsWith(item.tag, "app:")) {
            p.slot_placement = true;
            if (ParseSlot(item.slot, slot) && p.at.emplace(slot, i).second) {
                p.position[std::size_t(i)] = slot;
                continue;
            }
        }
        unplaced.push_back(i);
    }
    // The rest fill the free positions in list order.
    long long next = 0;
    for (const int i : unplaced) {
        while (p.at.count(next) != 0) ++next;
        p.at.emplace(next, i);
        p.position[std::size_t(i)] = next;
    }
    p.positions = p.at.empty() ? 0 : p.at.rbegin()->first + 1;
    p.pages = std::max<long long>(1, (p.positions + p.per_page - 1) / p.per_page);
    return p;
}

std::wstring PageText(long long page, long long pages) {
    return L"Strana " + std::to_wstring(page + 1) + L" / " + std::to_wstring(pages);
}

std::string SlotText(long long position) { return std::to_string(position); }

}  // namespace hm
