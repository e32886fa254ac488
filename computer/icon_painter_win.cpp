#include "computer/icon_painter_win.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "ui/draw_win.h"

namespace hm {
namespace {

constexpr ColorRef kWhite = 0xFFFFFF;

// One solid brush and pen for a shape; both deselected and freed at scope end.
class Ink {
public:
    Ink(HDC dc, ColorRef fill, ColorRef line, int width = 1)
        : dc_(dc), brush_(CreateSolidBrush(fill)), pen_(CreatePen(PS_SOLID, width, line)) {
        old_brush_ = SelectObject(dc, brush_);
        old_pen_ = SelectObject(dc, pen_);
    }
    ~Ink() {
        SelectObject(dc_, old_brush_);
        SelectObject(dc_, old_pen_);
        DeleteObject(brush_);
        DeleteObject(pen_);
    }
    Ink(const Ink&) = delete;
    Ink& operator=(const Ink&) = delete;

private:
    HDC dc_;
    HBRUSH brush_;
    HPEN pen_;
    HGDIOBJ old_brush_;
    HGDIOBJ old_pen_;
};

// Coordinates on a 40-unit grid inside r.
struct Grid {
    const UiRect& r;
    int X(int u) const { return r.left + (r.right - r.left) * u / 40; }
    int Y(int u) const { return r.top + (r.bottom - r.top) * u / 40; }
};

void Box(HDC dc, const Grid& g, int l, int t, int rr, int b, ColorRef c) { FillSolidRect(dc, g.X(l), g.Y(t), g.X(rr), g.Y(b), c); }

void Circle(HDC dc, const Grid& g, int l, int t, int rr, int b, ColorRef fill, ColorRef line, int width = 2) {
    Ink ink(dc, fill, line, width);
    Ellipse(dc, g.X(l), g.Y(t), g.X(rr), g.Y(b));
}

void Line(HDC dc, const Grid& g, int x1, int y1, int x2, int y2, ColorRef c, int width) {
    Ink ink(dc, c, c, width);
    MoveToEx(dc, g.X(x1), g.Y(y1), nullptr);
    LineTo(dc, g.X(x2), g.Y(y2));
}

void Poly(HDC dc, const Grid& g, std::initializer_list<POINT> units, ColorRef c) {
    POINT p[12];
    int n = 0;
    for (const POINT& u : units) p[n++] = {g.X(u.x), g.Y(u.y)};
    Ink ink(dc, c, c);
    Polygon(dc, p, n);
}

void Sheet(HDC dc, const Grid& g, ColorRef lines) {
    Box(dc, g, 11, 7, 29, 33, kWhite);
    for (int y = 13; y <= 27; y += 5) Box(dc, g, 14, y, 26, y + 2, lines);
}

}  // namespace

void PaintGlyph(HDC dc, const UiRect& r, int glyph) {
    const ColorRef base = GlyphColour(glyph);
    FillRoundRect(dc, r.left, r.top, r.right, r.bottom, base, (r.right - r.left) / 3);
    const Grid g{r};
    switch (glyph) {
        case 4:  // mail: an envelope
            Box(dc, g, 8, 12, 32, 29, kWhite);
            Line(dc, g, 8, 12, 20, 22, base, 2);
            Line(dc, g, 32, 12, 20, 22, base, 2);
            break;
        case 5:
        case 29:  // document, case file
            Sheet(dc, g, base);
            break;
        case 22:  // folder
            Box(dc, g, 7, 11, 19, 15, RgbRef(255, 236, 179));
            Box(dc, g, 7, 14, 33, 31, RgbRef(255, 224, 130));
            break;
        case 6:  // search: a lens
            Circle(dc, g, 9, 9, 25, 25, base, kWhite, 3);
            Line(dc, g, 23, 23, 31, 31, kWhite, 4);
            break;
        case 7:  // police: a badge
            Poly(dc, g, {{20, 6}, {32, 11}, {30, 26}, {20, 34}, {10, 26}, {8, 11}}, RgbRef(255, 213, 79));
            Circle(dc, g, 16, 15, 24, 23, base, base);
            break;
        case 8:  // contacts: a person
            Circle(dc, g, 14, 8, 26, 20, kWhite, kWhite);
            Poly(dc, g, {{9, 33}, {12, 24}, {28, 24}, {31, 33}}, kWhite);
            break;
        case 10:  // settings: a cog
            Circle(dc, g, 10, 10, 30, 30, kWhite, kWhite);
            Circle(dc, g, 16, 16, 24, 24, base, base);
            for (const auto& [x1, y1, x2, y2] : {std::array{20, 5, 20, 12}, {20, 28, 20, 35}, {5, 20, 12, 20}, {28, 20, 35, 20}})
                Line(dc, g, x1, y1, x2, y2, kWhite, 4);
            break;
        case 21:  // web: a globe
            Circle(dc, g, 8, 8, 32, 32, base, kWhite, 2);
            Line(dc, g, 8, 20, 32, 20, kWhite, 2);
            Line(dc, g, 20, 8, 20, 32, kWhite, 2);
            break;
        case 23:  // logout: a door and an arrow
            Box(dc, g, 9, 7, 21, 33, kWhite);
            Poly(dc, g, {{22, 15}, {28, 15}, {28, 11}, {35, 20}, {28, 29}, {28, 25}, {22, 25}}, RgbRef(255, 224, 178));
            break;
        case 26:  // hospital: a cross
            Box(dc, g, 16, 8, 24, 32, kWhite);
            Box(dc, g, 8, 16, 32, 24, kWhite);
            break;
        case 30:  // fire department: a flame
            Poly(dc, g, {{20, 5}, {30, 22}, {26, 33}, {14, 33}, {10, 22}}, RgbRef(255, 202, 40));
            break;
        case 31:  // city hall: columns under a roof
            Poly(dc, g, {{6, 14}, {20, 6}, {34, 14}}, kWhite);
            for (int x = 9; x <= 27; x += 6) Box(dc, g, x, 15, x + 3, 29, kWhite);
            Box(dc, g, 6, 30, 34, 33, kWhite);
            break;
        case 32:  // gomoku: a grid
            for (int i = 10; i <= 30; i += 5) {
                Line(dc, g, i, 8, i, 32, kWhite, 1);
                Line(dc, g, 8, i, 32, i, kWhite, 1);
            }
            Circle(dc, g, 17, 17, 23, 23, kWhite, kWhite);
            break;
        case 33:  // mines: a mine
            Circle(dc, g, 12, 12, 28, 28, RgbRef(33, 33, 33), RgbRef(33, 33, 33));
            Line(dc, g, 20, 7, 20, 33, RgbRef(33, 33, 33), 2);
            Line(dc, g, 7, 20, 33, 20, RgbRef(33, 33, 33), 2);
            break;
        case 24:  // lines: coloured balls
            Circle(dc, g, 7, 16, 15, 24, RgbRef(255, 82, 82), RgbRef(255, 82, 82));
            Circle(dc, g, 16, 16, 24, 24, RgbRef(255, 235, 59), RgbRef(255, 235, 59));
            Circle(dc, g, 25, 16, 33, 24, kWhite, kWhite);
            break;
        case 25:  // checkers: a board
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 4; ++col)
                    if ((row + col) % 2 == 0) Box(dc, g, 8 + col * 6, 8 + row * 6, 14 + col * 6, 14 + row * 6, kWhite);
            break;
        case 16:  // scanner: a flat bed
            Box(dc, g, 7, 18, 33, 30, kWhite);
            Box(dc, g, 9, 22, 31, 24, base);
            break;
        case 12:
        case 14:  // cameras
            Box(dc, g, 8, 14, 27, 28, kWhite);
            Poly(dc, g, {{27, 18}, {34, 13}, {34, 29}, {27, 24}}, kWhite);
            break;
        case 13:  // map
            Poly(dc, g, {{7, 10}, {16, 7}, {24, 10}, {33, 7}, {33, 30}, {24, 33}, {16, 30}, {7, 33}}, kWhite);
            Line(dc, g, 16, 7, 16, 30, base, 1);
            Line(dc, g, 24, 10, 24, 33, base, 1);
            break;
        case 3:  // services: a wrench
            Line(dc, g, 10, 30, 26, 14, kWhite, 5);
            Circle(dc, g, 23, 7, 33, 17, kWhite, kWhite);
            break;
        default:  // a card with a heading and lines
            Box(dc, g, 9, 9, 31, 31, kWhite);
            Box(dc, g, 12, 12, 28, 16, base);
            Box(dc, g, 12, 20, 28, 22, base);
            Box(dc, g, 12, 25, 24, 27, base);
            break;
    }
}

void PaintCover(HDC dc, const UiRect& r, int cover) {
    const Grid g{r};
    switch (cover) {
        case 1:  // book: a cloth cover with a spine
            FillRoundRect(dc, r.left, r.top, r.right, r.bottom, RgbRef(122, 46, 38), 8);
            Box(dc, g, 4, 0, 8, 40, RgbRef(92, 30, 26));
            DrawTextInRect(dc, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), r.left, r.top, r.right, r.bottom,
                           L"KNIHA", RgbRef(236, 201, 120), DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            break;
        case 2:  // case file: a manila folder
            FillRoundRect(dc, r.left, r.top, r.right, r.bottom, RgbRef(214, 180, 112), 6);
            Box(dc, g, 0, 0, 16, 4, RgbRef(190, 154, 88));
            DrawTextInRect(dc, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), r.left, r.top, r.right, r.bottom,
                           L"SPIS", RgbRef(80, 55, 20), DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            break;
        case 3:  // photograph: sky, sun and hills
            FillSolidRect(dc, r.left, r.top, r.right, r.bottom, kWhite);
            Box(dc, g, 3, 3, 37, 37, RgbRef(135, 190, 235));
            Circle(dc, g, 24, 7, 32, 15, RgbRef(255, 213, 79), RgbRef(255, 213, 79));
            Poly(dc, g, {{3, 37}, {3, 26}, {14, 18}, {25, 27}, {37, 22}, {37, 37}}, RgbRef(76, 140, 74));
            break;
        default:  // lined paper
            FillSolidRect(dc, r.left, r.top, r.right, r.bottom, RgbRef(255, 253, 246));
            for (int y = 8; y < 38; y += 4) Box(dc, g, 3, y, 37, y + 1, RgbRef(170, 196, 226));
            Box(dc, g, 8, 0, 9, 40, RgbRef(230, 150, 150));
            break;
    }
}

void PaintGradient(HDC dc, const UiRect& r, ColorRef top, ColorRef bottom) {
    const int h = r.bottom - r.top;
    if (h <= 0) return;
    constexpr int kBand = 4;
    for (int y = 0; y < h; y += kBand) {
        const auto mix = [&](unsigned a, unsigned b) { return unsigned(int(a) + (int(b) - int(a)) * y / h); };
        FillSolidRect(dc, r.left, r.top + y, r.right, std::min(r.bottom, r.top + y + kBand),
                      RgbRef(mix(RedOf(top), RedOf(bottom)), mix(GreenOf(top), GreenOf(bottom)),
                             mix(BlueOf(top), BlueOf(bottom))));
    }
}

void PaintTool(HDC dc, const UiRect& r, int tool) {
    const Grid g{r};
    const ColorRef steel = RgbRef(196, 204, 214), dark = RgbRef(72, 80, 92);
    switch (tool) {
        case 0:  // wrench: a handle with an open jaw
            Line(dc, g, 9, 32, 26, 15, steel, 5);
            Circle(dc, g, 23, 5, 35, 17, steel, steel);
            Poly(dc, g, {{27, 4}, {31, 4}, {31, 11}, {27, 11}}, dark);
            break;
        case 1:  // screwdriver: a red handle and a shaft
            Poly(dc, g, {{6, 30}, {12, 24}, {18, 30}, {12, 36}}, RgbRef(211, 47, 47));
            Line(dc, g, 15, 27, 33, 9, steel, 3);
            break;
        case 2:  // hammer: a wooden handle under a steel head
            Line(dc, g, 20, 14, 20, 36, RgbRef(188, 140, 90), 5);
            Box(dc, g, 9, 6, 31, 14, steel);
            break;
        case 3:  // pliers: two crossed handles in blue grips
            Line(dc, g, 10, 34, 24, 14, RgbRef(30, 136, 229), 4);
            Line(dc, g, 30, 34, 16, 14, RgbRef(30, 136, 229), 4);
            Poly(dc, g, {{16, 14}, {20, 4}, {24, 14}}, steel);
            break;
        case 4:  // car jack: a base, a screw and a saddle
            Box(dc, g, 6, 30, 34, 35, RgbRef(229, 57, 53));
            Poly(dc, g, {{12, 30}, {20, 16}, {28, 30}}, RgbRef(229, 57, 53));
            Box(dc, g, 14, 11, 26, 15, steel);
            break;
        case 5:  // wheel: a tyre around a rim
            Circle(dc, g, 5, 5, 35, 35, RgbRef(33, 33, 33), RgbRef(33, 33, 33));
            Circle(dc, g, 13, 13, 27, 27, steel, steel);
            break;
        case 6:  // oil can: a yellow can with a spout
            Box(dc, g, 8, 16, 26, 34, RgbRef(251, 192, 45));
            Line(dc, g, 25, 18, 35, 8, dark, 3);
            Box(dc, g, 12, 12, 20, 16, dark);
            break;
        case 7:  // multimeter: a case, a display and a dial
            Box(dc, g, 10, 5, 30, 35, RgbRef(255, 160, 0));
            Box(dc, g, 13, 8, 27, 15, RgbRef(200, 230, 201));
            Circle(dc, g, 15, 20, 25, 30, dark, dark);
            break;
        case 8:  // spark plug: a white insulator over a hex and the electrode
            Box(dc, g, 16, 4, 24, 20, RgbRef(250, 250, 250));
            Box(dc, g, 13, 20, 27, 26, steel);
            Line(dc, g, 20, 26, 20, 35, dark, 3);
            break;
        case 9:  // battery: a grey box with a yellow label and red and blue poles
            Box(dc, g, 6, 13, 34, 34, RgbRef(150, 156, 164));
            Box(dc, g, 6, 20, 34, 26, RgbRef(253, 216, 53));
            Box(dc, g, 10, 8, 15, 13, RgbRef(229, 57, 53));
            Box(dc, g, 25, 8, 30, 13, RgbRef(30, 136, 229));
            break;
        default:  // tool box: a red chest with a handle
            Box(dc, g, 5, 16, 35, 34, RgbRef(198, 40, 40));
            Box(dc, g, 5, 21, 35, 23, RgbRef(120, 20, 20));
            Line(dc, g, 14, 16, 14, 10, dark, 2);
            Line(dc, g, 14, 10, 26, 10, dark, 2);
            Line(dc, g, 26, 10, 26, 16, dark, 2);
            break;
    }
}

void PaintDesktopPicture(HDC dc, const UiRect& r) {
    // Evening over the desert: sky, a low sun and two ranges of hills.
    PaintGradient(dc, r, RgbRef(58, 96, 150), RgbRef(238, 170, 120));
    const Grid g{r};
    Circle(dc, g, 27, 17, 33, 23, RgbRef(255, 224, 150), RgbRef(255, 224, 150));
    Poly(dc, g, {{0, 40}, {0, 26}, {9, 21}, {18, 27}, {28, 22}, {40, 28}, {40, 40}}, RgbRef(120, 86, 92));
    Poly(dc, g, {{0, 40}, {0, 32}, {12, 29}, {24, 33}, {34, 30}, {40, 32}, {40, 40}}, RgbRef(82, 60, 72));
}

}  // namespace hm
