// Throughput of parse_module: the grammar run, the pair walk and the
// assembly together (and the release of the module), on the same text every
// iteration.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "definition_text.hpp"
#include "vok/parser.hpp"

namespace {

std::string number(std::size_t i) { return std::to_string(i); }

// Mostly long documentation comments, at the top level and in bodies.
std::string comment_heavy_text(std::size_t target) {
  const std::string line(200, 'x');
  std::string text;
  for (std::size_t i = 0; text.size() < target; ++i) {
    for (int k = 0; k < 4; ++k) text += "/// " + line + "\n";
    text += "data D" + number(i) + " {\n";
    for (int k = 0; k < 4; ++k) text += "    /// " + line + "\n";
    text += "    a: list /// " + line + "\n of u8,\n};\n";
  }
  return text;
}

enum class Body { data, enum_, service };

// One body holding `members` members, all named apart.
std::string big_body_text(Body body, std::size_t members) {
  std::string text;
  switch (body) {
    case Body::data:
      text = "data Big {\n";
      for (std::size_t i = 0; i < members; ++i) text += "    /// p\n    field" + number(i) + ": list of u32,\n";
      return text + "};\n";
    case Body::enum_:
      text = "enum Big {\n";
      for (std::size_t i = 0; i < members; ++i) text += "    /// v\n    V" + number(i) + " = " + number(i) + ",\n";
      return text + "};\n";
    case Body::service:
      text = "service Big {\n";
      for (std::size_t i = 0; i < members; ++i) {
        text += "    /// c\n    fn call" + number(i) + "(a: u8, b: list of T) -> R;\n    event ev" + number(i) + "(x: u8);\n";
      }
      return text + "};\n";
  }
  return text;
}

void run(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    auto module = vok::parse_module(text, vok::Namespace{{"bench"}});
    if (!module) {
      state.SkipWithError(vok::parse_error_display(module.error()).c_str());
      return;
    }
    benchmark::DoNotOptimize(module);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_Realistic(benchmark::State& state) {
  static const std::string text = vok::bench::definition_text(1 << 20);
  run(state, text);
}
BENCHMARK(BM_Realistic)->Unit(benchmark::kMillisecond);

void BM_LongComments(benchmark::State& state) {
  static const std::string text = comment_heavy_text(1 << 20);
  run(state, text);
}
BENCHMARK(BM_LongComments)->Unit(benchmark::kMillisecond);

// Throughput should stay flat as the body grows.
template <Body kind>
void BM_BigBody(benchmark::State& state) {
  const std::string text = big_body_text(kind, static_cast<std::size_t>(state.range(0)));
  run(state, text);
}
BENCHMARK(BM_BigBody<Body::data>)->RangeMultiplier(8)->Range(1000, 64000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigBody<Body::enum_>)->RangeMultiplier(8)->Range(1000, 64000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigBody<Body::service>)->RangeMultiplier(8)->Range(1000, 64000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
