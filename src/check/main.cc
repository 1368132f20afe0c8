// quenfold-check: warns about the lines of quenfold scripts that most likely
// do something else than their writer meant. Runs the command on the
// process's own streams.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "check/check.h"

namespace {

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  std::string err;
  int status = quenfold::check::check_command(argc, argv, out, err);
  if (!write_all(1, out)) {
    err += "quenfold-check: Can't write to standard output\n";
    status = 2;
  }
  write_all(2, err);
  return status;
}
