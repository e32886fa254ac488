#include "computer/rich_edit_win.h"

#include <richedit.h>
#include <richole.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/text1250.h"

namespace hm {
namespace {

constexpr COLORREF kTextColour = RGB(24, 24, 24);

struct ReadSource {
    std::string_view text;
    std::size_t at = 0;
};

DWORD CALLBACK ReadChunk(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
    auto* src = reinterpret_cast<ReadSource*>(cookie);
    const std::size_t n = std::min<std::size_t>(std::size_t(wanted), src->text.size() - src->at);
    std::memcpy(buffer, src->text.data() + src->at, n);
    src->at += n;
    *got = LONG(n);
    return 0;
}

struct WriteSink {
    std::string text;
    std::size_t max = 0;
};

DWORD CALLBACK WriteChunk(DWORD_PTR cookie, LPBYTE buffer, LONG n, LONG* taken) {
    auto* sink = reinterpret_cast<WriteSink*>(cookie);
    const std::size_t room = sink->max + 1 - std::min(sink->text.size(), sink->max + 1);
    sink->text.append(reinterpret_cast<const char*>(buffer), std::min<std::size_t>(room, std::size_t(n)));
    *taken = n;
    return sink->text.size() > sink->max ? 1 : 0;  // non-zero stops the stream: already too long
}

}  // namespace

HWND CreateRichEdit(HWND parent, const ControlBox& box, int limit, bool visible) {
    const DWORD style = WS_CHILD | (visible ? WS_VISIBLE : 0) | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                        ES_NOHIDESEL;
    HWND c = CreateWindowExW(0, kRichEditClass, L"", style, box.x, box.y, std::max(box.width, 1),
                             std::max(box.height, 1), parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!c) return nullptr;
    SendMessageW(c, EM_EXLIMITTEXT, 0, LPARAM(limit));
    SendMessageW(c, EM_SETBKGNDCOLOR, 0, LPARAM(RGB(255, 255, 255)));
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_CHARSET;
    cf.yHeight = 200;  // twips: 10 pt
    cf.crTextColor = kTextColour;
    // Central European: the control writes its RTF in code page 1250, as the server reads it
    // (Wine's writer maps characters outside the font's code page to look-alikes).
    cf.bCharSet = EASTEUROPE_CHARSET;
    wcscpy(cf.szFaceName, L"Arial");
    SendMessageW(c, EM_SETCHARFORMAT, SCF_ALL, LPARAM(&cf));
    SendMessageW(c, EM_SETCHARFORMAT, SCF_DEFAULT, LPARAM(&cf));
    SendMessageW(c, EM_SETEVENTMASK, 0, 0);
    return c;
}

void LoadContent(HWND control, std::string_view content) {
    if (content.substr(0, 6) == "{\\rtf1") {
        // Deeply nested groups break some Rich Edit builds inside the reader; unclosed ones are
        // closed where the text ends.
        const std::string bounded = BoundRtfNesting(content);
        ReadSource src{bounded, 0};
        EDITSTREAM es{};
        es.dwCookie = reinterpret_cast<DWORD_PTR>(&src);
        es.pfnCallback = &ReadChunk;
        SendMessageW(control, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
        return;
    }
    const std::wstring text = Cp1250ToWide(content);
    SETTEXTEX st{ST_DEFAULT, 1200};
    SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&st), reinterpret_cast<LPARAM>(text.c_str()));
}

namespace {

LONG SelectionStart(HWND control) {
    CHARRANGE r{};
    SendMessageW(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r.cpMin;
}

// Characters as positions count them (one per paragraph end).
LONG TextLength(HWND control) {
    GETTEXTLENGTHEX len{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return LONG(std::max<LRESULT>(0, SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0)));
}

void ReplaceSelection(HWND control, const std::wstring& text) {
    SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

std::vector<TextRange> AppendSignatures(HWND control, const std::vector<AppendedSignature>& signatures) {
    std::vector<TextRange> ranges;
    if (signatures.empty()) return ranges;
    // The document's limit must not cut the signatures off.
    const LRESULT limit = SendMessageW(control, EM_GETLIMITTEXT, 0, 0);
    std::size_t needed = std::size_t(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
    for (const AppendedSignature& a : signatures) needed += a.text.size() + 4;
    SendMessageW(control, EM_EXLIMITTEXT, 0, LPARAM(std::max<std::size_t>(std::size_t(limit), needed)));
    for (const AppendedSignature& a : signatures) {
        const LONG end = TextLength(control);
        Select(control, end, end);
        ReplaceSelection(control, L"\r\n\r\n");
        const LONG start = SelectionStart(control);
        // Control characters of a signature line would break it into paragraphs of other formats.
        std::wstring text(a.text.begin(), a.text.end());
        for (wchar_t& c : text)
            if (c < 32) c = L' ';
        ReplaceSelection(control, text);
        const LONG stop = SelectionStart(control);
        Select(control, start, stop);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        cf.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_BACKCOLOR;
        if (a.electronic) {
            wcscpy(cf.szFaceName, L"Arial");
            cf.yHeight = 200;
            cf.crTextColor = kTextColour;
            cf.crBackColor = kElectronicSignatureBack;
            ranges.push_back(TextRange{int(start), int(stop)});
        } else {
            wcscpy(cf.szFaceName, L"Segoe Script");
            cf.yHeight = 230;
            cf.dwEffects = CFE_BOLD | CFE_ITALIC;
            cf.crTextColor = kHandwrittenSignatureColour;
            cf.crBackColor = RGB(255, 255, 255);
        }
        SendMessageW(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof(pf);
        pf.dwMask = PFM_ALIGNMENT;
        pf.wAlignment = PFA_LEFT;
        SendMessageW(control, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    }
    SendMessageW(control, EM_EXLIMITTEXT, 0, limit);
    SendMessageW(control, EM_EMPTYUNDOBUFFER, 0, 0);
    Select(control, 0, 0);
    ScrollTo(control, 0);
    return ranges;
}

void FrameRanges(HWND control, HDC dc, const ControlBox& box, const std::vector<TextRange>& ranges) {
    if (ranges.empty() || box.empty()) return;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.x, box.y, box.x + box.width, box.y + box.height);
    HBRUSH brush = CreateSolidBrush(kSignatureFrame);
    for (const TextRange& r : ranges) {
        if (r.end <= r.start) continue;
        POINTL first{}, after{};
        SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), LPARAM(r.start));
        SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&after), LPARAM(r.end));
        // Arial 10 pt: a line of about 16 px at 96 dpi.
        constexpr int kLine = 17;
        const bool one_line = after.y == first.y;
        // Inside the box: text that starts at its left edge keeps its frame.
        RECT frame{std::max(box.x, box.x + int(first.x) - 3), box.y + int(first.y) - 2,
                   one_line ? box.x + int(after.x) + 3 : box.x + box.width - 4, box.y + int(after.y) + kLine + 1};
        if (frame.bottom < box.y || frame.top > box.y + box.height) continue;
        FrameRect(dc, &frame, brush);
    }
    DeleteObject(brush);
    RestoreDC(dc, saved);
}

std::optional<UiRect> MeasureCardDecoration(HWND control, const ControlBox& box) {
    const std::wstring text = ControlText(control);
    const CardTextLines lines =
        FindCardLines(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
    const auto top = [&](const std::optional<long>& position) -> std::optional<int> {
        if (!position) return std::nullopt;
        POINTL at{};
        SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), LPARAM(*position));
        return box.y + int(at.y);
    };
    return CardDecoration(box.x, top(lines.state_line), top(lines.popis_line));
}

std::wstring ControlText(HWND control) {
    GETTEXTLENGTHEX len{GTL_DEFAULT | GTL_NUMCHARS, 1200};
    const LRESULT n = SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
    if (n <= 0) return std::wstring();
    std::wstring text(std::size_t(n) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = DWORD(text.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200;
    const LRESULT got = SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                     reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::size_t(std::max<LRESULT>(got, 0)));
    return text;
}

std::string StreamOutRtf(HWND control, std::size_t max_bytes) {
    WriteSink sink;
    sink.max = max_bytes;
    EDITSTREAM es{};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&sink);
    es.pfnCallback = &WriteChunk;
    SendMessageW(control, EM_STREAMOUT, SF_RTFNOOBJS | SFF_PLAINRTF, reinterpret_cast<LPARAM>(&es));
    return sink.text;
}

void PrintControl(HWND control, HDC dc, const ControlBox& box) {
    if (box.empty()) return;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.x, box.y, box.x + box.width, box.y + box.height);
    OffsetViewportOrgEx(dc, box.x, box.y, nullptr);
    // WM_PRINT draws what the control shows (scroll position included); EM_FORMATRANGE prints
    // nothing under Wine.
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    RestoreDC(dc, saved);
}

namespace {

// A top-down 32-bit DIB section selected into a memory DC of its own.
struct MemoryDib {
    MemoryDib(HDC like, int width, int height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(like);
        if (dc) bitmap = CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap) old = SelectObject(dc, bitmap);
    }
    ~MemoryDib() {
        if (old) SelectObject(dc, old);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
    MemoryDib(const MemoryDib&) = delete;
    MemoryDib& operator=(const MemoryDib&) = delete;
    bool ok() const { return dc && bitmap && bits; }
    std::uint32_t* pixels() const { return static_cast<std::uint32_t*>(bits); }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;
};

}  // namespace

void PrintControlOver(HWND control, HDC dc, const ControlBox& box) {
    if (box.empty()) return;
    // What lies under the box, and the control printed on the key colour: both top-down, so the
    // key is compared exactly, pixel by pixel, with no stretching or palette mapping in between.
    MemoryDib under(dc, box.width, box.height), text(dc, box.width, box.height);
    if (!under.ok() || !text.ok()) return;
    BitBlt(under.dc, 0, 0, box.width, box.height, dc, box.x, box.y, SRCCOPY);
    // The control leaves a pixel column at each side unpainted: it must read as the key too.
    const std::uint32_t key = (std::uint32_t(GetRValue(kTransparentKey)) << 16) |
                              (std::uint32_t(GetGValue(kTransparentKey)) << 8) | GetBValue(kTransparentKey);
    const std::size_t count = std::size_t(box.width) * std::size_t(box.height);
    std::fill(text.pixels(), text.pixels() + count, key);
    const LRESULT previous = SendMessageW(control, EM_SETBKGNDCOLOR, 0, LPARAM(kTransparentKey));
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(text.dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    SendMessageW(control, EM_SETBKGNDCOLOR, 0, previous);
    GdiFlush();
    const std::uint32_t* from = text.pixels();
    std::uint32_t* to = under.pixels();
    for (std::size_t i = 0; i < count; ++i)
        if ((from[i] & 0xFFFFFFu) != key) to[i] = from[i];
    BitBlt(dc, box.x, box.y, box.width, box.height, under.dc, 0, 0, SRCCOPY);
}

void CentreEmbeddedObjects(HWND control) {
    IRichEditOle* ole = nullptr;
    if (!SendMessageW(control, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)) || !ole) return;
    const LONG count = ole->GetObjectCount();
    for (LONG i = 0; i < count; ++i) {
        REOBJECT object{};
        object.cbStruct = sizeof(object);
        if (FAILED(ole->GetObject(i, &object, REO_GETOBJ_NO_INTERFACES))) continue;
        Select(control, object.cp, object.cp);
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof(pf);
        pf.dwMask = PFM_ALIGNMENT;
        pf.wAlignment = PFA_CENTER;
        SendMessageW(control, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    }
    ole->Release();
}

LONG CharFromPoint(HWND control, int x, int y) {
    POINTL p{x, y};
    return LONG(SendMessageW(control, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&p)));
}

void Select(HWND control, LONG start, LONG end) {
    CHARRANGE r{std::min(start, end), std::max(start, end)};
    SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

bool CaretPosition(HWND control, POINT& at, int& height) {
    CHARRANGE sel{};
    SendMessageW(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    if (sel.cpMin != sel.cpMax) return false;
    POINTL p{};
    SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), LPARAM(sel.cpMin));
    at = POINT{p.x, p.y};
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_SIZE;
    SendMessageW(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    height = std::max<int>(12, cf.yHeight / 15);  // twips / 15 = pixels at 96 dpi
    return true;
}

ScrollState ReadScroll(HWND control) {
    ScrollState s;
    POINT pos{};
    SendMessageW(control, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
    s.position = pos.y;
    RECT r{};
    GetClientRect(control, &r);
    s.page = r.bottom - r.top;
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    POINTL end{};
    SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), LPARAM(length));
    s.total = std::max(s.page, int(end.y) + s.position + 20);
    return s;
}

void ScrollTo(HWND control, int position) {
    POINT pos{0, std::max(0, position)};
    SendMessageW(control, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
}

void ScrollBy(HWND control, int pixels) { ScrollTo(control, ReadScroll(control).position + pixels); }

}  // namespace hm
