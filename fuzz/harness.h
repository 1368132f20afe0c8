// What the fuzz targets that run scripts share: fixture files, the command
// line an input chooses, and the check of how a run ended.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Makes a new directory /tmp/NAME-XXXXXX for the fixtures and returns its path.
inline std::string make_temp_dir(const std::string& name) {
  std::string path = "/tmp/" + name + "-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  return path;
}

// Writes `text` to `path`; the harness cannot go on without it.
inline void write_file(const std::string& path, const char* text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::abort();
  }
  std::fputs(text, f);
  std::fclose(f);
}

// The command line of an input: option_sets[first byte % size], where an
// empty set stands for the words of the script's first line (cut at blanks,
// up to 16), which then leaves the script. `words` holds what argv points to.
inline std::vector<const char*> command_line(const std::vector<std::vector<const char*>>& option_sets,
                                             uint8_t first, std::string& script,
                                             std::vector<std::string>& words) {
  std::vector<const char*> argv = option_sets[first % option_sets.size()];
  if (!argv.empty()) return argv;
  size_t newline = script.find('\n');
  std::string line = script.substr(0, newline);
  script.erase(0, newline == std::string::npos ? script.size() : newline + 1);
  size_t at = 0;
  while (at <= line.size() && words.size() < 16) {
    size_t blank = line.find(' ', at);
    if (blank == std::string::npos) blank = line.size();
    words.push_back(line.substr(at, blank - at));
    at = blank + 1;
  }
  argv.push_back("quenfold");
  for (const std::string& w : words) argv.push_back(w.c_str());
  return argv;
}

// A run ends with status 0 and no message, or status 1 and exactly one line.
inline void check_ending(int status, const std::string& e) {
  if (status == 0 ? !e.empty() : status != 1 || e.empty() || e.back() != '\n' || e.find('\n') != e.size() - 1) {
    std::fprintf(stderr, "bad ending: status %d, message [%s]\n", status, e.c_str());
    std::abort();
  }
}

}  // namespace fuzz
