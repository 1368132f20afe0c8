// Micro-benchmarks of the hot paths, for profiling work: the line reader, the
// writer, expansion of a reference and of a call, macro lookup and the
// expression evaluator.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "engine/engine.h"
#include "expr/expr.h"
#include "input/line_reader.h"
#include "macros/macros.h"
#include "output/writer.h"

namespace quenfold {
namespace {

std::string text_of_lines(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "  alpha beta gamma delta epsilon zeta eta theta  \n";
  return text;
}

void BM_ReadLine(benchmark::State& state) {
  const std::string text = text_of_lines(10000);
  std::string line;
  for (auto _ : state) {
    Reader reader(text);
    uint64_t count = 0;
    while (read_line(reader, line, &count)) benchmark::DoNotOptimize(line.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadLine);

void BM_WriteLine(benchmark::State& state) {
  int fd = open("/dev/null", O_WRONLY);
  Writer out(fd);
  const std::string line = "alpha beta gamma delta \xFF\xA4 epsilon zeta eta theta\\n";
  for (auto _ : state) write_line(out, line);
  out.flush();
  close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_WriteLine);

void BM_ExpandReferences(benchmark::State& state) {
  Engine engine;
  for (int i = 0; i < 8; ++i) define_macro(engine, "m" + std::to_string(i), "value" + std::to_string(i), true);
  const std::string line = "line 1 $(m1) and $(m2) then $(m4) end $(m7)";
  TextBuffer out;
  for (auto _ : state) {
    out.clear();
    expand_into(engine, line, Params(), out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ExpandReferences);

void BM_ExpandCall(benchmark::State& state) {
  Engine engine;
  define_macro(engine, "pair", "<$(0)+$(1)>", true);
  const std::string line = "call 1 $(pair:a1,b2) done";
  TextBuffer out;
  for (auto _ : state) {
    out.clear();
    expand_into(engine, line, Params(), out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ExpandCall);

// Lookup cost with a small and a large table: it should not grow.
void BM_Lookup(benchmark::State& state) {
  MacroTable table;
  const int n = static_cast<int>(state.range(0));
  for (int i = 0; i < n; ++i) table.append("mac" + std::to_string(i), "v");
  std::string names[64];
  for (int i = 0; i < 64; ++i) names[i] = "mac" + std::to_string((i * 7919) % n);
  size_t k = 0;
  for (auto _ : state) benchmark::DoNotOptimize(table.find(names[k++ & 63]));
}
BENCHMARK(BM_Lookup)->Arg(16)->Arg(20000);

void BM_EvalExpr(benchmark::State& state) {
  const std::string text = "( 123 + 456 ) * 789 - ( 321 / 7 ) % 10";
  for (auto _ : state) benchmark::DoNotOptimize(eval_expr(text));
}
BENCHMARK(BM_EvalExpr);

}  // namespace
}  // namespace quenfold

BENCHMARK_MAIN();
