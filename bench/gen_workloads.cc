// Writes the benchmark workloads: for each, the quenfold script and the
// output it must produce, computed here independently of quenfold.
//
//   gen_workloads OUTDIR [FACTOR]
//
// FACTOR (default 1) scales every workload's size; 0.01 makes a quick run.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A small deterministic generator, so inputs are the same on every machine.
struct Random {
  uint64_t state;
  uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

const char* const kWords[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta",
                              "theta", "iota", "kappa", "lambda", "mu", "nu", "xi",
                              "omicron", "pi", "rho", "sigma", "tau", "upsilon"};

struct Out {
  FILE* script;
  FILE* expected;
  Out(const std::string& dir, const char* name) {
    script = std::fopen((dir + "/" + name + ".qf").c_str(), "w");
    expected = std::fopen((dir + "/" + name + ".expected").c_str(), "w");
    if (!script || !expected) {
      std::perror(name);
      std::exit(1);
    }
  }
  ~Out() {
    std::fclose(script);
    std::fclose(expected);
  }
};

long scaled(double factor, long n) {
  long v = static_cast<long>(static_cast<double>(n) * factor);
  return v < 1 ? 1 : v;
}

// W1: plain text, no directives and no references.
void passthrough(const std::string& dir, double factor) {
  Out o(dir, "w1");
  Random r{1};
  long target = scaled(factor, 50L * 1024 * 1024);
  long written = 0;
  std::string line;
  while (written < target) {
    line.clear();
    for (int i = 0; i < 10; ++i) {
      if (i) line += ' ';
      line += kWords[r.below(20)];
    }
    line += '\n';
    std::fputs(line.c_str(), o.script);
    std::fputs(line.c_str(), o.expected);
    written += static_cast<long>(line.size());
  }
}

// W2: four references per line to eight simple macros.
void substitution(const std::string& dir, double factor) {
  Out o(dir, "w2");
  for (int i = 0; i < 8; ++i) std::fprintf(o.script, "@DEFINE m%d value%d\n", i, i);
  long n = scaled(factor, 200000);
  for (long i = 0; i < n; ++i) {
    int a = i % 8, b = (i + 1) % 8, c = (i + 3) % 8, d = (i + 5) % 8;
    std::fprintf(o.script, "line %ld $(m%d) and $(m%d) then $(m%d) end $(m%d)\n", i, a, b, c, d);
    std::fprintf(o.expected, "line %ld value%d and value%d then value%d end value%d\n", i, a, b, c, d);
  }
}

// W3: a two-parameter macro called on every line.
void calls(const std::string& dir, double factor) {
  Out o(dir, "w3");
  std::fprintf(o.script, "@DEFINE pair <$(0)+$(1)>\n");
  long n = scaled(factor, 200000);
  for (long i = 0; i < n; ++i) {
    std::fprintf(o.script, "call %ld $(pair:a%ld,b%ld) done\n", i, i, i + 1);
    std::fprintf(o.expected, "call %ld <a%ld+b%ld> done\n", i, i, i + 1);
  }
}

// W4 (and W8 through a pipe): two nested loops over number sequences.
void loops(const std::string& dir, double factor) {
  Out o(dir, "w4");
  long outer = scaled(factor, 250);
  std::fprintf(o.script, "@FOR i $(%%:1-%ld)\n@FOR j $(%%:1-2000)\nrow $(i) col $(j)\n@END\n@END\n", outer);
  for (long i = 1; i <= outer; ++i) {
    for (int j = 1; j <= 2000; ++j) std::fprintf(o.expected, "row %ld col %d\n", i, j);
  }
}

// W5: one arithmetic expression per line.
void arithmetic(const std::string& dir, double factor) {
  Out o(dir, "w5");
  Random r{5};
  long n = scaled(factor, 200000);
  for (long i = 0; i < n; ++i) {
    int32_t a = 1 + r.below(1000), b = 1 + r.below(1000), c = 1 + r.below(1000);
    int32_t d = 1 + r.below(1000), e = 1 + r.below(1000), f = 1 + r.below(1000);
    std::fprintf(o.script, "$(=:( %d + %d ) * %d - ( %d / %d ) %% %d)\n", a, b, c, d, e, f);
    std::fprintf(o.expected, "%d\n", (a + b) * c - (d / e) % f);
  }
}

// W6: conditional blocks alternating between a defined and an undefined name.
void conditionals(const std::string& dir, double factor) {
  Out o(dir, "w6");
  std::fprintf(o.script, "@DEFINE yes 1\n");
  long n = scaled(factor, 150000);
  for (long i = 0; i < n; ++i) {
    bool taken = i % 2 == 0;
    std::fprintf(o.script, "@IFDEF %s\nblock %ld taken\n@ELSE\nblock %ld other\n@ENDIF\n",
                 taken ? "yes" : "no", i, i);
    std::fprintf(o.expected, "block %ld %s\n", i, taken ? "taken" : "other");
  }
}

// W7: twenty thousand macros, referenced at random.
void many_macros(const std::string& dir, double factor) {
  Out o(dir, "w7");
  Random r{7};
  long defs = 20000;
  for (long i = 0; i < defs; ++i) std::fprintf(o.script, "@DEFINE mac%ld v%ld\n", i, i);
  long n = scaled(factor, 200000);
  for (long i = 0; i < n; ++i) {
    long a = r.below(static_cast<uint32_t>(defs)), b = r.below(static_cast<uint32_t>(defs));
    std::fprintf(o.script, "ref $(mac%ld) $(mac%ld)\n", a, b);
    std::fprintf(o.expected, "ref v%ld v%ld\n", a, b);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_workloads OUTDIR [FACTOR]\n");
    return 2;
  }
  std::string dir = argv[1];
  double factor = argc > 2 ? std::atof(argv[2]) : 1.0;
  if (factor <= 0) factor = 1.0;
  passthrough(dir, factor);
  substitution(dir, factor);
  calls(dir, factor);
  loops(dir, factor);
  arithmetic(dir, factor);
  conditionals(dir, factor);
  many_macros(dir, factor);
  return 0;
}
