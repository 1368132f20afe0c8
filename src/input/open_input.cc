#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "diag/diag.h"
#include "input/inputs.h"

namespace quenfold {

void open_input(Engine& engine, std::string_view path) {
  if (path.empty()) {
    push_input(engine, "stdin", nullptr);
    return;
  }
  if (path.find(':') != std::string_view::npos) {
    std::string name(path);
    int fd = -1;
    if (engine.io.allow_network) {
      fd = open_socket(path);
    } else {
      errno = ECONNREFUSED;
    }
    if (fd < 0) {
      int err = errno;
      die(engine, "Can't open input socket on %s (%s)", name.c_str(), error_text(err).c_str());
    }
    push_input(engine, std::move(name), std::make_unique<Reader>(fd, true));
    return;
  }
  // Names that say where they are (./x, ../x, .x, /x) are used as written;
  // every other name is looked up in the include directory.
  std::string name;
  if (path[0] != '.' && path[0] != '/') {
    name = engine.macros.value(kRowInclude);
    name.push_back('/');
  }
  name.append(path);

  struct stat st;
  if (engine.io.allow_path != nullptr && !engine.io.allow_path(name)) {
    errno = ENOENT;
    die(engine, "Can't stat %s (%s)", name.c_str(), error_text(ENOENT).c_str());
  }
  if (stat(name.c_str(), &st) != 0) {
    int err = errno;
    die(engine, "Can't stat %s (%s)", name.c_str(), error_text(err).c_str());
  }
  if (S_ISDIR(st.st_mode)) name.append("/script");
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    die(engine, "Can't open %s (%s)", name.c_str(), error_text(err).c_str());
  }
  push_input(engine, std::move(name), std::make_unique<Reader>(fd, true));
}

}  // namespace quenfold
