// Environment lookup for a run: the process's own environment, or an array of
// "NAME=value" words given by whoever embeds the engine.
#pragma once

#include <cstdlib>
#include <cstring>

namespace quenfold {

// The value of `name` in `envp` (null-terminated), or in the process's
// environment when `envp` is null; null when the variable is not set.
inline const char* lookup_env(const char* const* envp, const char* name) {
  if (envp == nullptr) return std::getenv(name);
  size_t n = std::strlen(name);
  for (; *envp != nullptr; ++envp) {
    if (std::strncmp(*envp, name, n) == 0 && (*envp)[n] == '=') return *envp + n + 1;
  }
  return nullptr;
}

}  // namespace quenfold
