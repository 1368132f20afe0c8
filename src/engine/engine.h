// Engine: the whole state of one run, threaded through every operation, so a
// run can be embedded, tested and fuzzed in-process. It is made of the parts
// that know nothing of it (reader, writer, macro table); every operation on a
// run includes this header, and `die` names the run's current input.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/reader.h"
#include "macros/table.h"
#include "output/writer.h"

namespace quenfold {

// One open input on the input stack.
struct Input {
  std::string name;
  Reader* reader;                 // the shared standard-input reader, or `owned`
  std::unique_ptr<Reader> owned;  // null for standard input
  uint64_t line = 0;              // newlines read so far
  uint64_t if_at_open = 0;        // id of the block on top when pushed, 0 for none
  uint64_t id = 0;
};

// One open conditional block.
struct IfState {
  // The directive word that opened it as written, with the line's leading
  // '!': "!@IFNDEF" at the longest.
  char text[16];
  int skipping;  // 0 processing, 1 no branch taken yet, -1 a branch was taken
  int nesting;   // blocks opened (and not yet closed) while skipping
  uint64_t id;
};

// One open loop.
struct LoopFrame {
  std::string name;
  uint64_t line;      // line count right after the @FOR line
  uint64_t offset;    // reader position right after the @FOR line
  uint64_t input_id;  // the input whose reader holds `offset`
};

// Positional parameters of a macro call: a window of Engine::params.
struct Params {
  size_t begin = 0;
  size_t count = 0;
};

// Where a run reads standard input from and writes its streams to.
struct EngineIo {
  int stdin_fd = 0;
  int stdout_fd = 1;
  int stderr_fd = 2;
  // Standard input: the bytes of stdin_data when set (they must outlive the
  // run), else what `read` pulls, else stdin_fd.
  std::optional<std::string_view> stdin_data;
  Reader::ReadFn read = nullptr;
  // Standard output and the error line: collected in the sinks when set,
  // else handed to `write` (stream 1 or 2), else written to the descriptors.
  Writer::WriteFn write = nullptr;
  void* context = nullptr;  // passed to read and write
  // The environment as "NAME=value" words ending with a null; null means the
  // process's own.
  const char* const* envp = nullptr;
  std::string* stdout_sink = nullptr;       // collect output instead of stdout_fd
  std::string* stderr_sink = nullptr;       // collect the error line instead

  // Limits and confinement for running scripts one does not trust; 0 and
  // null mean none. A run that passes a limit ends with an error line of its
  // own, and one that reaches for what it may not gets the error line of a
  // name that cannot be opened.
  uint64_t max_lines = 0;        // logical lines read from all inputs
  size_t max_text = 0;           // bytes of one expansion result
  size_t max_output = 0;         // bytes written to standard output
  bool allow_network = true;     // host:port inputs
  bool (*allow_path)(const std::string& name) = nullptr;  // files and directories
  // The directory that every file input is opened beneath (relative names
  // from it, none leading out of it), opened when the run starts.
  const char* root = nullptr;
  bool root_walk = false;  // open beneath the root by the walk alone, not openat2 (tests)
};

// A descriptor closed when its owner goes.
class OwnedFd {
 public:
  OwnedFd() = default;
  ~OwnedFd() { reset(-1); }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  int get() const { return fd_; }
  void reset(int fd);

 private:
  int fd_ = -1;
};

// Deepest nesting of expansions; beyond it the run ends with
// "Macro expansion nested too deeply".
constexpr int kMaxExpansionDepth = 1000;

struct Engine {
  explicit Engine(const EngineIo& io = EngineIo());

  EngineIo io;
  MacroTable macros;
  std::vector<Input> inputs;  // back() is the current input
  std::vector<IfState> ifs;   // back() is the innermost block
  std::vector<LoopFrame> loops;
  Writer out;
  std::unique_ptr<Reader> stdin_reader;
  bool quiet = false;

  std::vector<std::string_view> params;  // arguments of the macro calls in progress
  int depth = 0;                         // expansions in progress
  bool escapes = false;  // the line being expanded may hold something to decode
  uint64_t next_id = 1;
  uint64_t lines_read = 0;
  std::string line;  // where a line that must be rewritten is read into
  OwnedFd root;      // io.root, open, while the run is confined to it
};

// "quenfold: file NAME line N: " while an input is open, "quenfold: " otherwise.
std::string die_prefix(const Engine& engine);

// Ends the run: the prefix of the current input, then the formatted message.
[[noreturn]] void die(const Engine& engine, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Ends the run with the prefix of the current input and `text` taken literally.
[[noreturn]] void die_literal(const Engine& engine, std::string_view text);

}  // namespace quenfold
