// Throughput of the grammar run alone over a realistic definition text.
// (The executable's main comes from the shared benchmark target.)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "definition_text.hpp"
#include "vok/grammar.hpp"

namespace {

void BM_GrammarRun(benchmark::State& state) {
  static const std::string text = vok::bench::definition_text(1 << 20);
  std::size_t marks = 0;
  for (auto _ : state) {
    auto tree = vok::run_grammar(text);
    if (!tree) {
      state.SkipWithError(vok::syntax_error_text(text, tree.error()).c_str());
      return;
    }
    marks = tree->marks().size();
    benchmark::DoNotOptimize(tree);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
  state.counters["marks"] = static_cast<double>(marks);
}
BENCHMARK(BM_GrammarRun)->Unit(benchmark::kMillisecond);

// A text that fails on its last byte: the whole run plus the failure record.
void BM_GrammarRunRefused(benchmark::State& state) {
  static const std::string text = vok::bench::definition_text(1 << 20) + "?";
  for (auto _ : state) {
    auto result = vok::run_grammar(text);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_GrammarRunRefused)->Unit(benchmark::kMillisecond);

}  // namespace
