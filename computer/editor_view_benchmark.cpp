// The UI thread's per-tick work that needs no window, and the answer's 16000-byte cut.
// - A static screen: most ticks only decide not to draw.
// - Identity-card screens: the change signature decides before any drawing.
// - A drawn tick after GDI: the canvas copy, the mask and the comparison with the published frame.
// - The cut of a document's RTF at 16000 bytes, with and without an embedded picture to drop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "base/overlay_frame.h"
#include "computer/editor_view.h"
#include "ui/masks.h"
#include "ui/state_signature.h"

namespace hm {
namespace {

void BM_RenderTickStaticScreen(benchmark::State& st) {
    RedrawInputs in;
    in.caret_phase = in.drawn_caret_phase = 1;
    in.drawn_at = 10000;
    Tick now = 10000;
    int drawn = 0;
    for (auto _ : st) {
        in.now = now;
        in.caret_phase = in.drawn_caret_phase;  // within the same blink phase
        drawn += NeedsRedraw(in) ? 1 : 0;
        now = 10000 + (now + 50 - 10000) % 500;
    }
    benchmark::DoNotOptimize(drawn);
    if (drawn != 0) st.SkipWithError("a static screen was drawn");
}
BENCHMARK(BM_RenderTickStaticScreen);

void BM_RenderTickCardSignature(benchmark::State& st) {
    const std::u16string status = u"Spis byl aktualizován. Vyber dostupný soubor nebo akci znovu.";
    StateSignatureInputs in;
    in.capture_request_id = 0;
    in.scroll_y = 120;
    in.selection_start = in.selection_end = 42;
    in.cursor_x = 400;
    in.cursor_y = 300;
    in.input_text = status;
    in.document_length = 1800;
    SignatureGate gate;
    gate.Unchanged(StateSignature(in));
    int skipped = 0;
    for (auto _ : st) skipped += gate.Unchanged(StateSignature(in)) ? 1 : 0;
    if (skipped != int(st.iterations())) st.SkipWithError("an unchanged card was drawn");
}
BENCHMARK(BM_RenderTickCardSignature);

// What a drawn tick does after GDI: copy the canvas, make it opaque, cut the mask, compare.
void BM_RenderTickPublishUnchanged(benchmark::State& st) {
    Pixels canvas(kCanvasWidth, kCanvasHeight);
    std::fill(canvas.data(), canvas.data() + canvas.size_bytes(), std::uint8_t(0xEE));
    MaskInputs mask_in;
    mask_in.app = 10;
    const TransparencyMask mask = MaskFor(ChooseMask(mask_in));
    OverlayState overlay;
    auto first = std::make_shared<Pixels>(canvas);
    SetAlphaOpaque(*first);
    ApplyMask(*first, mask, 400, 300);
    PublishOverlayFrame(overlay, first);
    for (auto _ : st) {
        auto frame = std::make_shared<Pixels>(canvas);
        SetAlphaOpaque(*frame);
        ApplyMask(*frame, mask, 400, 300);
        benchmark::DoNotOptimize(PublishOverlayFrame(overlay, std::move(frame)));
    }
    if (overlay.version.load() != 1) st.SkipWithError("an unchanged frame was published");
    st.SetBytesProcessed(std::int64_t(st.iterations()) * std::int64_t(canvas.size_bytes()));
}
BENCHMARK(BM_RenderTickPublishUnchanged);

// Rich Edit's plain RTF of Czech text: a header, then mostly \'xx escapes and paragraphs.
std::string CzechRtf(std::size_t bytes, const std::string& insert = std::string()) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}"
                      "{\\colortbl ;\\red24\\green24\\blue24;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs20 ";
    rtf += insert;
    const std::string line = "P\\'f8\\'edli\\'9a \\'9elu\\'9dou\\'e8k\\'fd k\\'f9\\'f2 \\b \\'fap\\'ecl\\b0  \\par\r\n";
    while (rtf.size() + line.size() + 1 <= bytes) rtf += line;
    rtf += std::string(bytes - 1 - rtf.size(), 'x');
    rtf += "}";
    return rtf;
}

void BM_CutDocumentRtf(benchmark::State& st, std::size_t bytes, std::size_t picture_hex, bool sent) {
    const std::string picture =
        picture_hex ? "{\\pict\\pngblip\\picw100\\pich100 " + std::string(picture_hex, 'a') + "}" : std::string();
    const std::string rtf = CzechRtf(bytes + picture.size(), picture);
    for (auto _ : st) {
        const std::optional<std::string> cut = CutDocumentRtf(rtf);
        if (cut.has_value() != sent) st.SkipWithError("wrong decision at the limit");
        benchmark::DoNotOptimize(cut);
    }
    st.SetBytesProcessed(std::int64_t(st.iterations()) * std::int64_t(rtf.size()));
}
BENCHMARK_CAPTURE(BM_CutDocumentRtf, exactly_16000, kRtfLimitBytes, 0, true);
BENCHMARK_CAPTURE(BM_CutDocumentRtf, one_byte_more, kRtfLimitBytes + 1, 0, false);
BENCHMARK_CAPTURE(BM_CutDocumentRtf, 16000_and_a_64KiB_picture, kRtfLimitBytes, 65536, true);

}  // namespace
}  // namespace hm
