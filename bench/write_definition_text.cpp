// Writes the benchmarks' realistic definition text to standard output, so
// that benchmarks outside C++ (bench/python_bench.py) measure the same bytes.
//
//   vok_definition_text [BYTES]     (default 1048576)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "definition_text.hpp"

int main(int argc, char** argv) {
  const std::size_t bytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : std::size_t{1} << 20;
  const std::string text = vok::bench::definition_text(bytes);
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
