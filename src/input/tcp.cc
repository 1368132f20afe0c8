#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/diag.h"
#include "input/inputs.h"
#include "input/line_reader.h"

namespace quenfold {

namespace {

constexpr size_t kMaxSocketText = 1024;

bool dotted_digits(const std::string& host) {
  for (char c : host) {
    if (!is_digit(static_cast<unsigned char>(c)) && c != '.') return false;
  }
  return true;
}

// The port of a TCP service named in the services database, in network
// byte order; false with errno telling why when there is none.
bool service_port(const char* name, in_port_t* port) {
  servent* service = nullptr;
#ifdef QUENFOLD_HAVE_GETSERVBYNAME_R
  servent entry;
  char scratch[1024];
  if (int failed = getservbyname_r(name, "tcp", &entry, scratch, sizeof scratch, &service); failed != 0) {
    errno = failed;
    return false;
  }
#else
  // Where there is no reentrant form (macOS), getservbyname keeps its
  // result per thread.
  service = getservbyname(name, "tcp");
#endif
  if (service == nullptr) {
    errno = kResolverErrors + EAI_SERVICE;  // the resolver's own words for an unknown service
    return false;
  }
  *port = static_cast<in_port_t>(service->s_port);
  return true;
}

// A TCP socket that is not handed on to programs the process may run.
int stream_socket() {
#ifdef SOCK_CLOEXEC
  return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd >= 0) fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
#endif
}

}  // namespace

int open_socket(std::string_view text) {
  text = skip_space(text);
  if (text.size() > kMaxSocketText) {
    errno = kErrorNameTooLong;
    return -1;
  }
  std::string work(text);
  size_t cut = 0;
  while (cut < work.size() && !is_space(static_cast<unsigned char>(work[cut]))) ++cut;
  work.resize(cut);
  size_t colon = work.find(':');
  if (colon == std::string::npos) {
    errno = EINVAL;
    return -1;
  }
#ifdef __EMSCRIPTEN__
  // A WebAssembly build runs where there is no network of its own to reach.
  errno = ENETUNREACH;
  return -1;
#endif
  std::string host = work.substr(0, colon);
  std::string port = work.substr(colon + 1);
  if (host.empty()) host = "localhost";
  if (port.empty()) port = "unknown";

  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  if (dotted_digits(host)) {
    // A malformed dotted address yields all ones, as the classic conversion does.
    in_addr converted;
    address.sin_addr.s_addr = inet_aton(host.c_str(), &converted) ? converted.s_addr : INADDR_NONE;
  } else {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int failed = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (failed != 0 || found == nullptr) {
      // The resolver's reason; a system error has set errno itself.
      if (failed != EAI_SYSTEM) errno = kResolverErrors + (failed != 0 ? failed : EAI_NONAME);
      return -1;
    }
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }

  if (is_digit(static_cast<unsigned char>(port[0]))) {
    long number = std::strtol(port.c_str(), nullptr, 0);
    address.sin_port = htons(static_cast<uint16_t>(number & 0xFFFF));
  } else {
    if (!service_port(port.c_str(), &address.sin_port)) return -1;
  }

  int fd = stream_socket();
  if (fd < 0) return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    int err = errno;
    close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace quenfold
