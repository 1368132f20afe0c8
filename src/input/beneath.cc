#include "input/beneath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#if defined(__linux__) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#include <sys/syscall.h>
#if defined(SYS_openat2)
#define QUENFOLD_HAVE_OPENAT2 1
#endif
#endif

namespace quenfold {

namespace {

#ifdef O_PATH
constexpr int kLook = O_PATH;
#else
constexpr int kLook = O_RDONLY | O_NONBLOCK;
#endif

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

int retry_open(int dir, const char* name, int flags) {
  int fd;
  do {
    fd = openat(dir, name, flags | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Appends the components of `path` to `pending`, which holds the components
// still to resolve in reverse order (the next one last). A final slash must
// lead to a directory: it becomes a final ".".
void push_components(std::vector<std::string>& pending, std::string_view path) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string_view::npos) slash = path.size();
    if (slash > at) parts.emplace_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  if (!path.empty() && path.back() == '/') parts.emplace_back(".");
  pending.insert(pending.end(), std::make_move_iterator(parts.rbegin()), std::make_move_iterator(parts.rend()));
}

// The directories entered below the root, each held open so that ".." can
// go back to exactly the one it came from.
class DirStack {
 public:
  explicit DirStack(int root) : root_(root) {}
  ~DirStack() {
    for (int fd : fds_) close(fd);
  }
  DirStack(const DirStack&) = delete;
  DirStack& operator=(const DirStack&) = delete;

  int top() const { return fds_.empty() ? root_ : fds_.back(); }
  void push(int fd) { fds_.push_back(fd); }
  // False when ".." would go above the root.
  bool pop() {
    if (fds_.empty()) return false;
    close(fds_.back());
    fds_.pop_back();
    return true;
  }

 private:
  int root_;
  std::vector<int> fds_;
};

// Reads the link `name` in `dir` and queues its target. Returns false with
// errno set when the entry is no link (any more) or its target is absolute.
bool follow_link(int dir, const std::string& name, std::vector<std::string>& pending) {
  char target[PATH_MAX];
  ssize_t n = readlinkat(dir, name.c_str(), target, sizeof target);
  if (n < 0) return false;
  if (static_cast<size_t>(n) == sizeof target) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::string_view text(target, static_cast<size_t>(n));
  if (text.empty()) {
    errno = ENOENT;
    return false;
  }
  if (text[0] == '/') {
    errno = EACCES;
    return false;
  }
  push_components(pending, text);
  return true;
}

int walk_beneath(int root, std::string_view name, int flags) {
  std::vector<std::string> pending;
  push_components(pending, name);
  DirStack dirs(root);
  int links = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.back());
    pending.pop_back();
    bool last = pending.empty();
    if (part == "." || part == "..") {
      if (part == ".." && !dirs.pop()) {
        errno = EACCES;
        return -1;
      }
      if (last) return retry_open(dirs.top(), ".", flags);
      continue;
    }
    int fd = retry_open(dirs.top(), part.c_str(), (last ? flags : kLook | O_DIRECTORY) | O_NOFOLLOW);
    if (fd >= 0) {
      struct stat st;
      // O_PATH with O_NOFOLLOW opens a link itself rather than failing.
      bool link = last && (flags & kLook) == kLook && fstat(fd, &st) == 0 && S_ISLNK(st.st_mode);
      if (!link) {
        if (last) return fd;
        dirs.push(fd);
        continue;
      }
      close(fd);
    } else if (errno != ELOOP && errno != ENOTDIR) {
      return -1;
    }
    // A link (or something that was one a moment ago, or no directory).
    int failed = errno;
    if (++links > kMaxLinks) {
      errno = ELOOP;
      return -1;
    }
    if (!follow_link(dirs.top(), part, pending)) {
      if (errno == EINVAL) {
        // No link: what it is now gets the error of the open, or, when it
        // was replaced meanwhile, another try.
        if (fd < 0 && failed == ENOTDIR) {
          errno = ENOTDIR;
          return -1;
        }
        pending.push_back(std::move(part));
        continue;
      }
      return -1;
    }
  }
  // Nothing but slashes: the root itself.
  if (name.empty()) {
    errno = ENOENT;
    return -1;
  }
  return retry_open(dirs.top(), ".", flags);
}

}  // namespace

int probe_flags() { return kLook; }

int open_beneath(int root, std::string_view name, int flags, Beneath how) {
  if (!name.empty() && name[0] == '/') {
    errno = EACCES;
    return -1;
  }
  if (name.find('\0') != std::string_view::npos) {
    errno = EINVAL;
    return -1;
  }
#ifdef QUENFOLD_HAVE_OPENAT2
  if (how == Beneath::kAuto) {
    std::string path(name);
    open_how request{};
    request.flags = static_cast<unsigned>(flags | O_CLOEXEC);
    request.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int tries = 0; tries < 16; ++tries) {
      long fd = syscall(SYS_openat2, root, path.c_str(), &request, sizeof request);
      if (fd >= 0) return static_cast<int>(fd);
      if (errno == EINTR || errno == EAGAIN) continue;  // a rename raced the lookup
      if (errno == EXDEV) errno = EACCES;                // the name leads outside
      // No openat2 (an old kernel, or a filter that refuses it): the walk.
      if (errno == ENOSYS || errno == EPERM) break;
      return -1;
    }
    if (errno != ENOSYS && errno != EPERM) return -1;
  }
#endif
  (void)how;
  return walk_beneath(root, name, flags);
}

}  // namespace quenfold
