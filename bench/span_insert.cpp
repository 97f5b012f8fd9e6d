// Span insertion speed: one 640-column row receiving 50, 200 or 600
// overlapping spans, nearest first, farthest first or shuffled.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "spans/span_marks.h"
#include "spans/spans_local.h"

namespace {

enum Order { FRONT_TO_BACK, BACK_TO_FRONT, RANDOM_ORDER };

// Spans 4 to 80 columns long on gently sloped planes, so that most overlaps
// are decided whole and some split at a crossing.
std::vector<SpanNode> makeRow(int count, Order order)
{
    std::mt19937 random(1234u + (unsigned)count);
    std::uniform_int_distribution<int> start(-10, 630), length(4, 80);
    std::uniform_real_distribution<float> invZ(0.01f, 1.0f), slope(-0.0005f, 0.0005f);
    std::vector<SpanNode> spans((size_t)count);
    for (int i = 0; i < count; i++) {
        SpanNode& s = spans[(size_t)i];
        s = SpanNode{};
        s.xStart = start(random);
        s.xEnd = s.xStart + length(random);
        s.invZ = invZ(random);
        s.dInvZ = slope(random);
        s.level = i;
    }
    auto nearness = [](const SpanNode& s) { return s.invZ + 0.5f * (float)(s.xStart + s.xEnd) * s.dInvZ; };
    if (order == FRONT_TO_BACK)
        std::sort(spans.begin(), spans.end(),
                  [&](const SpanNode& a, const SpanNode& b) { return nearness(a) > nearness(b); });
    else if (order == BACK_TO_FRONT)
        std::sort(spans.begin(), spans.end(),
                  [&](const SpanNode& a, const SpanNode& b) { return nearness(a) < nearness(b); });
    return spans;
}

void insertRow(SpanPool* pool, const std::vector<SpanNode>& spans, ScanLine* line, SpanMarks* marks)
{
    line->count = 0;
    for (const SpanNode& span : spans) {
        SpanNode record = span;
        insertSpan(pool, &record, line, marks);
    }
}

void BM_InsertSpan(benchmark::State& state, Order order)
{
    int count = (int)state.range(0);
    std::vector<SpanNode> spans = makeRow(count, order);
    SpanPool pool = {};
    if (!spanPoolInit(&pool)) {
        state.SkipWithError("no memory for the span pool");
        return;
    }
    ScanLine line = {};
    SpanMarks marks = {};
    // One untimed pass grows the row, so the timed passes take no node from
    // the pool, as in every frame after the first few.
    if (!spanListCreate(&pool, SPAN_ROW_NODES, &line)) {
        state.SkipWithError("no memory for the row");
        spanPoolRelease(&pool);
        return;
    }
    insertRow(&pool, spans, &line, &marks);
    int32_t finalCount = line.count;
    for (auto _ : state) {
        insertRow(&pool, spans, &line, &marks);
        benchmark::DoNotOptimize(line.count);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["spans/s"] = benchmark::Counter((double)state.iterations() * count, benchmark::Counter::kIsRate);
    state.counters["kept"] = finalCount;
    spanPoolRelease(&pool);
}

} // namespace

BENCHMARK_CAPTURE(BM_InsertSpan, front_to_back, FRONT_TO_BACK)->ArgName("spans")->Arg(50)->Arg(200)->Arg(600);
BENCHMARK_CAPTURE(BM_InsertSpan, back_to_front, BACK_TO_FRONT)->ArgName("spans")->Arg(50)->Arg(200)->Arg(600);
BENCHMARK_CAPTURE(BM_InsertSpan, random_order, RANDOM_ORDER)->ArgName("spans")->Arg(50)->Arg(200)->Arg(600);

BENCHMARK_MAIN();
