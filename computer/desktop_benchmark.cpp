// The desktop's per-tick and per-event costs on a 1000-item desktop: placement, the draw list of
// one page, a hit test with a mouse event, a key walk, and the payload builder.
#include <benchmark/benchmark.h>

#include <string>

#include "computer/desktop_draw.h"
#include "computer/document_list.h"
#include "computer/document_screen.h"
#include "computer/legacy_grid.h"
#include "computer/rtf_text.h"

namespace hm {
namespace {

EditorState BigDesktop() {
    EditorState s;
    s.request_id = 31;
    s.kind = 16;
    s.flags = 0x82;
    s.screen_id = "desktop:main";
    for (int i = 0; i < 1000; ++i) {
        EditorItem e;
        e.id = i;
        e.label = "Dokument c. " + std::to_string(i) + " se jménem, které se musí zalomit";
        e.tag = "app:doc" + std::to_string(i);
        e.slot = std::to_string((i * 7) % 1000);
        s.items.push_back(std::move(e));
    }
    return s;
}

void BM_PlaceDesktop(benchmark::State& st) {
    const EditorState s = BigDesktop();
    for (auto _ : st) benchmark::DoNotOptimize(PlaceDesktop(s));
}
BENCHMARK(BM_PlaceDesktop);

void BM_DrawListOfAPage(benchmark::State& st) {
    const EditorState s = BigDesktop();
    DesktopView v = MakeDesktopView(s);
    v.page = 25;
    const DesktopDrawContext c{L"", false, L"20:34", false};
    for (auto _ : st) benchmark::DoNotOptimize(BuildDesktopDrawList(s, v, c));
}
BENCHMARK(BM_DrawListOfAPage);

// The workbench adds its board, shelf and trays to a page of tool tiles.
void BM_WorkbenchDrawList(benchmark::State& st) {
    EditorState s = BigDesktop();
    s.screen_id = "mechanic-workbench";
    DesktopView v = MakeDesktopView(s);
    v.page = 25;
    const DesktopDrawContext c{L"", false, L"20:34", false};
    for (auto _ : st) benchmark::DoNotOptimize(BuildDesktopDrawList(s, v, c));
}
BENCHMARK(BM_WorkbenchDrawList);

// The legacy grid in the dark theme: its band is painted as strips, one per colour change.
void BM_LegacyGridDrawList(benchmark::State& st) {
    EditorState s = BigDesktop();
    s.flags = 0x8A;  // compact: the only way the themed grid is reached
    DesktopView v;
    v.page = 25;
    for (auto _ : st) benchmark::DoNotOptimize(BuildLegacyGridDrawList(s, v, {}));
}
BENCHMARK(BM_LegacyGridDrawList);

// Kind 5 rows rebuilt from a content of 1000 lines (window creation and in-place updates).
void BM_RowsFromContent(benchmark::State& st) {
    EditorState s;
    s.kind = 5;
    for (int i = 0; i < 1000; ++i) s.content += std::to_string(i) + "/26\tPripad\tOddeleni\tpozn\tFF8800\r";
    for (auto _ : st) benchmark::DoNotOptimize(RowsFromContent(s));
}
BENCHMARK(BM_RowsFromContent);

// A book page of some 64 KiB of RTF (font and colour tables, a picture to skip, Czech text in
// \'hh escapes and \u units) read as text, as kind 5/6 rows and book pages are.
void BM_RtfPageToText(benchmark::State& st) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}";
    rtf += "{\\pict\\pngblip " + std::string(4096, 'a') + "}";
    while (rtf.size() < 65536)
        rtf += "\\pard\\b Hlava I.\\b0\\par \\'c8l\\'e1nek 1: Ob\\u269?an m\\'e1 pr\\'e1vo na \\u382?ivot.\\tab Konec.\\par\n";
    rtf += "}";
    std::size_t units = 0;
    for (auto _ : st) {
        const std::u16string text = RtfToText(rtf);
        units = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    st.SetBytesProcessed(std::int64_t(st.iterations()) * std::int64_t(rtf.size()));
    st.counters["units"] = double(units);
}
BENCHMARK(BM_RtfPageToText);

void BM_HitTestAndPress(benchmark::State& st) {
    EditorState s = BigDesktop();
    DesktopView v = MakeDesktopView(s);
    Tick now = 0;
    int i = 0;
    for (auto _ : st) {
        const int x = 40 + (i * 37) % 730, y = 146 + (i * 53) % 430;
        benchmark::DoNotOptimize(HitDesktop(v, s, x, y));
        benchmark::DoNotOptimize(DesktopPointer(v, s, PointerEvent::kDown, x, y, now, 500));
        benchmark::DoNotOptimize(DesktopPointer(v, s, PointerEvent::kUp, x, y, now += 1000, 500));
        ++i;
    }
}
BENCHMARK(BM_HitTestAndPress);

void BM_KeyWalk(benchmark::State& st) {
    const EditorState s = BigDesktop();
    DesktopView v = MakeDesktopView(s);
    int i = 0;
    for (auto _ : st) benchmark::DoNotOptimize(DesktopKey(v, s, (i++ / 50) % 2 ? 0x26u : 0x28u));
}
BENCHMARK(BM_KeyWalk);

void BM_SelectionPayload(benchmark::State& st) {
    PayloadInputs in;
    in.kind = 16;
    in.action = 1;
    in.flags = 0x400082;
    in.has_selection = true;
    in.selected_id = 12;
    in.paper_action = 3;
    for (auto _ : st) benchmark::DoNotOptimize(BuildPayload(in));
}
BENCHMARK(BM_SelectionPayload);

}  // namespace
}  // namespace hm
