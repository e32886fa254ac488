// EditorSync's cost per 30 ms worker pass and the state parser's on large bodies. The idle pass
// (session held, editor open, nothing due) must not touch the heap: the allocation counter
// below reports allocations per pass.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "computer/editor_sync.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// The replacement pair below is malloc/free on both sides; GCC cannot see that through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace hm {
namespace {

std::string ItemsState(int items) {
    std::string body = "7\nSpisy\nobsah\nOtev\xf8\xedt\nZp\xect\n\n\n0\n\n35\nfiles:\nV\xfdsledky\n" + std::to_string(items) + "\n";
    for (int i = 0; i < items; ++i)
        body += std::to_string(1000 + i) + "\tSpis \xe8." + std::to_string(i) + "\tfile:" + std::to_string(i) + "\t" +
                std::to_string(i % 20) + "\t" + std::to_string(0xC0FFEE) + "\n";
    body += "1\n100\n1000\n0\n0\n0\n0\n0\n0\n0\n0\n\n0\n0\n0\n0\n\nclock=600\n";
    return body;
}

void BM_ParseState1000Items(benchmark::State& state) {
    const std::string body = ItemsState(1000);
    for (auto _ : state) benchmark::DoNotOptimize(ParseEditorState(body));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(body.size()));
}
BENCHMARK(BM_ParseState1000Items);

void BM_ParseState4MiBContent(benchmark::State& state) {
    std::string body = "7\nDokument\n{\\rtf1 " + std::string(4 * 1024 * 1024 - 64, 'x') + "}\nOK\n\n\n\n0\n\n0\ndoc:7\n\n0\n";
    for (auto _ : state) benchmark::DoNotOptimize(ParseEditorState(body));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(body.size()));
}
BENCHMARK(BM_ParseState4MiBContent);

struct IdleSync {
    OverlayState overlay;
    EditorExchange ex{overlay};
    EditorSyncRecord sync;
    EditorSyncEffects fx;
    EditorWindowSeam seam;
    IdleSync() {
        fx.request = [](const ApiClient&, const std::string&, const std::string&, const std::string&,
                        const std::string&, std::uint32_t) { return ApiResponse{202, ""}; };
        fx.window = &seam;
        OfferEditorSession(sync, ApiClient{}, std::string(64, 'a'));
        overlay.editor_open = true;
        ex.last_state.request_id = 7;
        ex.last_state.kind = 10;
        ex.current_request_id = 7;
    }
};

// Between two polls: the pass a 30 ms worker loop runs most often.
void BM_EditorSyncIdlePass(benchmark::State& state) {
    IdleSync s;
    s.ex.next_poll_time = ~Tick(0);
    const EditorKeys keys{true, false, true};
    const long before = g_allocations.load();
    for (auto _ : state) {
        EditorSyncPass(s.ex, s.sync, s.fx, 1000, keys);
        // The session hands its token over every pass too.
        OfferEditorSession(s.sync, ApiClient{}, s.sync.token);
    }
    state.counters["allocs_per_pass"] =
        benchmark::Counter(double(g_allocations.load() - before) / double(state.iterations()));
}
BENCHMARK(BM_EditorSyncIdlePass);

// A due poll answered 202 ("?current=7").
void BM_EditorSyncPollPass(benchmark::State& state) {
    IdleSync s;
    Tick now = 1000;
    for (auto _ : state) {
        EditorSyncPass(s.ex, s.sync, s.fx, now, EditorKeys{});
        now += kEditorPacingMs;
    }
}
BENCHMARK(BM_EditorSyncPollPass);

}  // namespace
}  // namespace hm
