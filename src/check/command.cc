// The quenfold-check command: options and operands as quenfold reads them,
// each operand found as quenfold finds it, and the warnings of each.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "check/check.h"
#include "diag/diag.h"
#include "driver/args.h"

namespace quenfold::check {

namespace {

constexpr char kUsage[] = "usage: quenfold-check [-D name[=value]]... [-i dir] [file...]\n";

// Appends the bytes of `fd` to `bytes` up to its end; false, with errno set,
// after a failed read.
bool read_all(int fd, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      return false;
    }
  }
}

// The input that quenfold would read for the operand `path`: its name and
// bytes, or what is wrong in `error`.
bool read_operand(const std::string& path, const Options& options, int stdin_fd, std::string& name,
                  std::string& bytes, std::string& error) {
  if (path.empty() || path == "-") {
    name = "stdin";
    if (read_all(stdin_fd, bytes)) return true;
    error = "Can't read stdin (" + error_text(errno) + ")";
    return false;
  }
  if (path.find(':') != std::string::npos) {
    error = path + " names a host:port source, which quenfold reads from the network; not checked";
    return false;
  }
  // Names that say where they are (./x, ../x, .x, /x) are used as written;
  // every other name is looked up in the include directory.
  name = path[0] == '.' || path[0] == '/' ? path : options.include_dir + "/" + path;
  struct stat st;
  if (stat(name.c_str(), &st) != 0) {
    error = "Can't stat " + name + " (" + error_text(errno) + ")";
    struct stat here;
    if (name != path && stat(path.c_str(), &here) == 0) {
      error += "; names that do not begin with . or / are looked up in the include directory, as quenfold does: write ./" + path;
    }
    return false;
  }
  if (S_ISDIR(st.st_mode)) name += "/script";
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "Can't open " + name + " (" + error_text(errno) + ")";
    return false;
  }
  bool read = read_all(fd, bytes);
  int err = errno;
  close(fd);
  if (!read) error = "Can't read " + name + " (" + error_text(err) + ")";
  return read;
}

}  // namespace

std::string parse_command_line(int argc, const char* const* argv, Options& options,
                               std::vector<std::string>& operands) {
  ArgList args;
  if (argc > 1 && args.insert_args(argc - 1, argv + 1) < 0) return "Out of memory";
  for (;;) {
    int option = args.get_option("D:i:qv");
    std::string arg = args.option_arg() ? args.option_arg() : "";
    switch (option) {
      case 0:
        return {};
      case 'D': {
        size_t equals = arg.find('=');
        if (equals == 0 || arg.empty()) return "Macro needs a name";
        options.defines.emplace_back(arg.substr(0, equals),
                                     equals == std::string::npos ? std::string() : arg.substr(equals + 1));
        break;
      }
      case 'i':
        options.include_dir = arg;
        break;
      case 'q':
      case 'v':
        break;  // quiet or verbose @PRINT: nothing to check
      case -1:
        operands.push_back(arg);
        break;
      case '-':
        operands.emplace_back("-");
        break;
      default:
        return arg.empty() ? "Unknown option" : arg;
    }
  }
}

int check_command(int argc, const char* const* argv, std::string& out, std::string& err, int stdin_fd) {
  Options options;
  std::vector<std::string> operands;
  std::string problem = parse_command_line(argc, argv, options, operands);
  if (!problem.empty()) {
    err += "quenfold-check: " + problem + "\n" + kUsage;
    return 2;
  }
  if (operands.empty()) operands.emplace_back();
  int status = 0;
  for (const std::string& operand : operands) {
    std::string name;
    std::string bytes;
    std::string error;
    if (!read_operand(operand, options, stdin_fd, name, bytes, error)) {
      err += "quenfold-check: " + error + "\n";
      status = 2;
      continue;
    }
    for (const Warning& warning : check_script(bytes, name, options)) {
      out += format_warning(warning);
      out += '\n';
      if (status == 0) status = 1;
    }
  }
  return status;
}

}  // namespace quenfold::check
