#include "computer/screens_win.h"

#include <richedit.h>

#include "base/overlay_frame.h"
#include "base/text1250.h"
#include "computer/dialog_panel.h"
#include "computer/draw_list_win.h"
#include "computer/rich_edit_win.h"
#include "ui/gdi_win.h"

namespace hm {
namespace {

namespace sk = screen_kind;

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kSubHeader = RgbRef(220, 233, 248);
constexpr ColorRef kSubHeaderText = RgbRef(27, 65, 108);
constexpr ColorRef kBodyText = RgbRef(30, 45, 60);
constexpr ColorRef kHintText = RgbRef(89, 107, 129);
constexpr ColorRef kFrame = RgbRef(179, 195, 215);
constexpr ColorRef kPanel = RgbRef(248, 251, 255);
constexpr ColorRef kCaret = RgbRef(20, 20, 20);
constexpr UINT kParagraph = DT_WORDBREAK | DT_NOPREFIX;
constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;

constexpr const wchar_t* kConsentHeading = L"Připojení HM Pluginu k serveru";
constexpr const wchar_t* kConsentNameLabel = L"Tvoje přezdívka na serveru";
constexpr const wchar_t* kConsentTerms =
    L"Souhlas platí pro tento server. Bez připojeného aktuálního pluginu tě testovací server nepustí k "
    L"přihlášení.\n\nHeslo k postavě zadáváš až do přihlašovacího dialogu serveru. Toto okno ho nevyžaduje.";

// Restores the DC's selections at scope end: a font made for one drawing must not stay selected
// when it is deleted (DeleteObject refuses a selected font and it would leak).
struct KeepDc {
    explicit KeepDc(HDC d) : dc(d), saved(SaveDC(d)) {}
    ~KeepDc() { RestoreDC(dc, saved); }
    KeepDc(const KeepDc&) = delete;
    KeepDc& operator=(const KeepDc&) = delete;
    HDC dc;
    int saved;
};

std::wstring Wide(const std::string& cp1250) { return Cp1250ToWide(cp1250); }

void Text(HDC dc, HFONT font, const UiRect& r, const std::wstring& text, ColorRef colour, UINT format) {
    DrawTextInRect(dc, font, r.left, r.top, r.right, r.bottom, text, colour, format);
}

void DrawBottomButtons(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    for (int i = 0; i < 4; ++i) {
        const std::string& label = s.buttons[std::size_t(i)];
        if (label.empty()) continue;
        const ButtonBox b = BottomButton(i);
        const std::optional<std::wstring> confirm = f.doc ? ConfirmSignLabel(*f.doc, s, i) : std::nullopt;
        DrawButton(dc, *f.fonts, s.Flags(), b.left, b.top, b.right, b.bottom - 1, confirm ? *confirm : Wide(label), i == 0);
    }
}

void DrawScrollBar(HDC dc, const ScreenFrame& f) {
    const ScrollState sc = ReadScroll(f.main);
    const ScrollGeometry g = PlaceScrollBar(f.plan.box, sc.position, sc.total, sc.page);
    FillSolidRect(dc, g.left, g.top, g.right, g.bottom, RgbRef(234, 239, 244));
    FillSolidRect(dc, g.left + 2, g.thumb_top, g.right - 2, g.thumb_bottom, RgbRef(143, 164, 187));
    // Arrows: small triangles in the end cells.
    HBRUSH arrow = CreateSolidBrush(RgbRef(65, 85, 105));
    HGDIOBJ old_brush = SelectObject(dc, arrow);
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int cx = (g.left + g.right) / 2;
    POINT up[3] = {{cx - 4, g.top + 11}, {cx + 4, g.top + 11}, {cx, g.top + 6}};
    POINT down[3] = {{cx - 4, g.bottom - 11}, {cx + 4, g.bottom - 11}, {cx, g.bottom - 6}};
    Polygon(dc, up, 3);
    Polygon(dc, down, 3);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(arrow);
}

// A text box: printed (over what lies under it, or on its own white), the caret when the box
// has the typing and may be edited.
void DrawBox(HDC dc, const ScreenFrame& f, HWND control, const ControlBox& b, bool caret) {
    if (!control || b.empty()) return;
    if (PrintsTransparently(*f.state)) {
        PrintControlOver(control, dc, b);
    } else {
        FillSolidRect(dc, b.x, b.y, b.x + b.width, b.y + b.height, kWhite);
        PrintControl(control, dc, b);
    }
    POINT at{};
    int height = 0;
    if (caret && f.caret_on && CaretPosition(control, at, height) && at.x >= 0 && at.x + 2 <= b.width && at.y >= 0 &&
        at.y + height <= b.height)
        FillSolidRect(dc, b.x + at.x, b.y + at.y, b.x + at.x + 2, b.y + at.y + height, kCaret);
}

void DrawControl(HDC dc, const ScreenFrame& f, bool scroll_bar = true) {
    if (!f.main || f.plan.box.empty()) return;
    DrawBox(dc, f, f.main, f.plan.box, !f.second_focused && !MainBoxReadOnly(*f.state));
    if (f.framed) FrameRanges(f.main, dc, f.plan.box, *f.framed);
    if (scroll_bar && HasScrollBar(*f.state, f.plan)) DrawScrollBar(dc, f);
}

void DrawSecondControl(HDC dc, const ScreenFrame& f) {
    DrawBox(dc, f, f.second, f.second_box, f.second_focused && !f.second_read_only);
}

void DrawHeader(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    FillSolidRect(dc, 0, 0, kCanvasWidth, 48, kHeaderColour);
    Text(dc, f.fonts->title.get(), {24, 0, 748, 48}, Wide(s.title), kWhite, kLine);
    Text(dc, f.fonts->title.get(), {kCloseGlyph.left, kCloseGlyph.top, kCloseGlyph.right, kCloseGlyph.bottom},
         L"\u2715", kWhite, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void DrawSubHeader(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    FillSolidRect(dc, 24, 58, 786, 96, kSubHeader);
    UniqueFont arial = CreateUiFont(FontSpec{L"Arial", -12, 400, false});
    KeepDc keep(dc);
    const std::wstring text = !s.screen_id.empty() ? L"č.j. " + Wide(s.screen_id)
                              : f.doc_list       ? std::wstring(L"Evidence • Vyber položku")
                                                 : std::wstring(L"Dokument");
    Text(dc, arial.get(), {36, 58, 774, 96}, text, kSubHeaderText, kLine);
}

void DrawHint(HDC dc, const ScreenFrame& f) {
    const std::wstring hint = HintLine(*f.state, f.status, f.submitted);
    if (!hint.empty()) Text(dc, f.fonts->body.get(), {24, 677, 786, 704}, hint, kHintText, kLine);
}

void DrawConsent(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    DrawHeader(dc, f);
    FillSolidRect(dc, 24, 86, 786, 664, kWhite);
    Text(dc, f.fonts->title.get(), {44, 100, 766, 128}, kConsentHeading, kBodyText, kLine);
    UniqueFont small = CreateUiFont(FontSpec{L"Segoe UI", -13, 400, false});
    KeepDc keep(dc);
    Text(dc, small.get(), {44, 136, 766, 366}, Wide(s.caption), kBodyText, kParagraph);
    Text(dc, f.fonts->body.get(), {44, 370, 766, 396}, kConsentNameLabel, kBodyText, kLine);
    FillSolidRect(dc, 44, 398, 766, 446, kFrame);
    DrawControl(dc, f);
    Text(dc, small.get(), {44, 458, 766, 656}, kConsentTerms, kBodyText, kParagraph);
    DrawHint(dc, f);
    DrawBottomButtons(dc, f);
}

void DrawUpdateDialog(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    FillRoundRect(dc, 120, 210, 690, 550, kPanel, 16);
    FillSolidRect(dc, 120, 210, 690, 262, kHeaderColour);
    Text(dc, f.fonts->title.get(), {146, 214, 664, 258}, Wide(s.title), kWhite, kLine);
    UniqueFont small = CreateUiFont(FontSpec{L"Segoe UI", -14, 400, false});
    KeepDc keep(dc);
    Text(dc, small.get(), {146, 274, 664, 452}, Wide(s.caption), kBodyText, kParagraph);
    const std::wstring line = f.submitted ? std::wstring() : f.status;
    if (!line.empty()) Text(dc, small.get(), {146, 456, 664, 484}, line, kHintText, kLine);
    for (int i = 0; i < 2; ++i) {
        const std::string& label = s.buttons[std::size_t(i)];
        if (label.empty()) continue;
        const ButtonBox b = UpdateDialogButton(i);
        DrawButton(dc, *f.fonts, s.Flags(), b.left, b.top, b.right, b.bottom, Wide(label), i == 0);
    }
}

// The formatting toolbar of a free document, lit where the selection has the format.
void DrawToolbar(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    if (f.main) {
        SendMessageW(f.main, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        SendMessageW(f.main, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    }
    const bool read_only = IsReadOnlyScreen(s);
    for (const ToolbarItem& item : kToolbar) {
        bool lit = false;
        switch (item.control) {
            case ToolbarControl::kBold: lit = (cf.dwEffects & CFE_BOLD) != 0; break;
            case ToolbarControl::kItalic: lit = (cf.dwEffects & CFE_ITALIC) != 0; break;
            case ToolbarControl::kUnderline: lit = (cf.dwEffects & CFE_UNDERLINE) != 0; break;
            case ToolbarControl::kSize9:
            case ToolbarControl::kSize10:
            case ToolbarControl::kSize11:
            case ToolbarControl::kSize14: lit = (cf.dwMask & CFM_SIZE) && cf.yHeight == ToolbarFontSize(item.control) * 20; break;
            case ToolbarControl::kTextColour:
            case ToolbarControl::kBackColour:
                if (read_only) continue;
                break;
            default: break;
        }
        const ButtonBox& b = item.box;
        DrawButton(dc, *f.fonts, s.Flags(), b.left, b.top, b.right, b.bottom, item.label, lit);
        if (item.control == ToolbarControl::kTextColour || item.control == ToolbarControl::kBackColour) {
            const bool text = item.control == ToolbarControl::kTextColour;
            COLORREF swatch = text ? cf.crTextColor : cf.crBackColor;
            if (!text && (cf.dwEffects & CFE_AUTOBACKCOLOR)) swatch = RGB(255, 255, 255);
            FillSolidRect(dc, b.right + 6, b.top + 6, b.right + 26, b.bottom - 6, swatch);
        }
    }
    if (!f.colour_menu) return;
    FillRoundRect(dc, 24, 198, 34 + 8 * kColourCell + 10, 208 + 3 * kColourCell + 10, kPanel, 12);
    for (int i = 0; i < 24; ++i) {
        const ButtonBox c = ColourCell(i);
        const std::uint32_t rgb = kMenuColoursRgb[i];
        FillSolidRect(dc, c.left + 2, c.top + 2, c.right - 2, c.bottom - 2, RgbRef(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
    }
}

void DrawDocument(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    if (s.paper) {
        FillSolidRect(dc, 28, 16, 790, 668, RgbRef(203, 210, 219));
        FillSolidRect(dc, 24, 12, 786, 664, kWhite);
    } else {
        DrawHeader(dc, f);
        DrawSubHeader(dc, f);
        if (s.kind == sk::kTextPage || s.kind == sk::kShortAnswer) {
            FillSolidRect(dc, 36, 98, 774, 652, kWhite);
            if (s.kind == sk::kShortAnswer && !s.caption.empty())
                Text(dc, f.fonts->body.get(), {46, 110, 744, 172}, Wide(s.caption), kBodyText, kParagraph);
        } else if (f.plan.box.empty()) {
            if (!s.caption.empty() && !f.doc_list)
                Text(dc, f.fonts->body.get(), {36, 110, 774, 652}, Wide(s.caption), kBodyText, kParagraph);
        } else {
            FillSolidRect(dc, 24, 178, 786, 564, kWhite);
        }
    }
    if (s.kind == sk::kTextPage && f.background) DrawPictureInRect(dc, 36, 98, 774, 652, f.background.get(), kWhite);
    if (s.kind == sk::kShortAnswer) {
        const ControlBox& b = f.plan.box;
        FillSolidRect(dc, b.x - 2, b.y - 2, b.x + b.width + 2, b.y + b.height + 2, kFrame);
    }
    if (f.second && HasTwoTypingBoxes(s.kind)) {
        for (const ControlBox& b : {f.plan.box, f.second_box})
            FillSolidRect(dc, b.x - 2, b.y - 2, b.x + b.width + 2, b.y + b.height + 2, kFrame);
    }
    DrawControl(dc, f);
    DrawSecondControl(dc, f);
    if (f.doc_list) ReplayDrawList(dc, *f.fonts, *f.doc_list, nullptr);
    if (HasToolbar(s)) DrawToolbar(dc, f);
    DrawHint(dc, f);
    if (f.sheet) ReplayDrawList(dc, *f.fonts, *f.sheet, nullptr);
    else DrawBottomButtons(dc, f);
    if (f.chooser) ReplayDrawList(dc, *f.fonts, *f.chooser, nullptr);
}

}  // namespace

ColorRef ScreenBackground(const EditorState&) { return kDocumentBackground; }

TransparencyMask ScreenMask(const EditorState& s, Backdrop behind) {
    return MaskFor(ChooseMask(ScreenMaskInputs(s, behind)));
}

std::wstring HintLine(const EditorState& s, const std::wstring& status, bool submitted) {
    if (submitted) return L"Načítání…";
    if (!status.empty()) return status;
    if (s.kind == sk::kHandwritten) return L"Zarovnání měníš tlačítky nahoře • Esc: zavřít";
    if (s.scanned) return L"SCAN • Naskenovaná kopie. Obsah nelze upravovat.";
    if (s.paper) return std::wstring();
    if (s.kind == 2 || s.kind == 5 || s.kind == 6 || s.kind == 7 || s.kind == 12 || s.kind == 14)
        return L"Vyber položku; dvojklikem ji otevřeš. U souborů šipkami měníš pořadí.";
    if (s.kind == sk::kSignatureSheet) return L"Přehled spisu • Pomocné soubory otevřeš samostatnou ikonou.";
    if (s.kind == sk::kConsent) return L"Souhlas potvrzuješ přímo ve hře.";
    if (s.read_only) return L"Pouze ke čtení • Esc: zpět";
    return L"Ctrl+B / I / U • Ctrl+Z • Kolečko: posun • Esc: zpět";
}

void DrawScreen(HDC dc, const ScreenFrame& f) {
    const EditorState& s = *f.state;
    if (f.desktop) return ReplayDrawList(dc, *f.fonts, *f.desktop, s.picture);
    if (f.panel) {
        ReplayDrawList(dc, *f.fonts, *f.panel, nullptr, f.backdrop);
        return DrawControl(dc, f, false);  // one line: no scroll bar
    }
    if (f.window) {
        ReplayDrawList(dc, *f.fonts, *f.window, f.background);  // picture mode 4's background
        DrawControl(dc, f);
        if (f.chooser) ReplayDrawList(dc, *f.fonts, *f.chooser, nullptr);
        return;
    }
    if (IsUpdateDialog(s)) return DrawUpdateDialog(dc, f);
    if (s.kind == sk::kConsent) return DrawConsent(dc, f);
    DrawDocument(dc, f);
}

}  // namespace hm
