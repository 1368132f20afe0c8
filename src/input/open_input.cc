#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "diag/diag.h"
#include "input/beneath.h"
#include "input/inputs.h"

namespace quenfold {

namespace {

[[noreturn]] void cannot(const Engine& engine, const char* what, const std::string& name, int err) {
  die(engine, "Can't %s %s (%s)", what, name.c_str(), error_text(err).c_str());
}

// Opens `name` (the file, or for a directory its file "script") beneath the
// run's root. An absolute name, or one that leads out of the root, fails
// with "Permission denied".
int open_confined(const Engine& engine, std::string& name) {
  int root = engine.root.get();
  Beneath how = engine.io.root_walk ? Beneath::kWalk : Beneath::kAuto;
  int probe = open_beneath(root, name, probe_flags(), how);
  if (probe < 0) cannot(engine, "stat", name, errno);
  struct stat st;
  int rc = fstat(probe, &st);
  int err = errno;
  close(probe);
  if (rc != 0) cannot(engine, "stat", name, err);
  if (S_ISDIR(st.st_mode)) name.append("/script");
  int fd = open_beneath(root, name, O_RDONLY, how);
  if (fd < 0) cannot(engine, "open", name, errno);
  return fd;
}

}  // namespace

void open_root(Engine& engine) {
  if (engine.io.root == nullptr) return;
  int fd = open(engine.io.root, probe_flags() | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) cannot(engine, "open", engine.io.root, errno);
  engine.root.reset(fd);
}

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
      // As a host that cannot be reached.
      errno = ENETUNREACH;
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

  if (engine.io.allow_path != nullptr && !engine.io.allow_path(name)) cannot(engine, "stat", name, ENOENT);
  if (engine.root.get() >= 0) {
    int fd = open_confined(engine, name);
    push_input(engine, std::move(name), std::make_unique<Reader>(fd, true));
    return;
  }
  struct stat st;
  if (stat(name.c_str(), &st) != 0) cannot(engine, "stat", name, errno);
  if (S_ISDIR(st.st_mode)) name.append("/script");
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) cannot(engine, "open", name, errno);
  push_input(engine, std::move(name), std::make_unique<Reader>(fd, true));
}

}  // namespace quenfold
