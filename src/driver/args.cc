// Argument list and option scanner.

#include "driver/args.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/chars.h"
#include "base/env.h"

namespace quenfold {
namespace {

const char* skip_space(const char* p) {
  while (is_space(*p)) ++p;
  return p;
}

}  // namespace

int ArgList::insert_args(int n, const char* const* words) {
  if (n <= 0) return 0;
  if (static_cast<long long>(words_.size()) + n > INT_MAX) return -1;
  try {
    words_.insert(words_.begin() + index_, words, words + n);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return count();
}

int ArgList::split_args(const char* text) {
  const char* s = skip_space(text);
  if (*s == '\0') return 0;

  try {
    const size_t length = std::strlen(s);
    std::unique_ptr<char[]> buffer(new char[length + 1]);
    char* out = buffer.get();
    std::vector<const char*> starts;
    starts.push_back(out);

    // A quote opens a group except right after a group has closed, where it
    // is an ordinary character.
    bool may_open_group = true;
    for (;;) {
      const char c = *s;
      if (may_open_group && (c == '"' || c == '\'')) {
        ++s;
        while (*s != '\0' && *s != c) {
          if (*s == '\\') {
            if (s[1] == '\0') {  // nothing left to escape: drop it and stop
              ++s;
              break;
            }
            ++s;
          }
          *out++ = *s++;
        }
        if (*s == c) ++s;
        may_open_group = false;
        continue;
      }
      may_open_group = true;
      if (c == '\0') break;
      if (is_space(c)) {
        *out++ = '\0';
        starts.push_back(out);
        s = skip_space(s);
        continue;
      }
      if (c == '\\') {
        if (s[1] == '\0') break;  // nothing left to escape: drop it and stop
        ++s;
      }
      *out++ = *s++;
    }
    *out = '\0';

    // The word begun last is dropped when empty: the text ended in white
    // space, or in white space and an empty quoted group.
    size_t n = starts.size();
    if (starts.back() == out) --n;
    if (n == 0) return 0;
    if (n > static_cast<size_t>(INT_MAX)) return -1;

    // The buffer lives as long as the list, so the words stay valid after the
    // scan has released the word array.
    env_buffers_.push_back(std::move(buffer));
    const int result = insert_args(static_cast<int>(n), starts.data());
    if (result < 0) env_buffers_.pop_back();
    return result;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int ArgList::init_args(int argc, const char* const* argv, const char* const* envp) {
  if (argc <= 0 || argv == nullptr) return 0;
  if (insert_args(argc - 1, argv + 1) < 0) return -1;

  const char* program = argv[0];
  if (program == nullptr) return count();
  if (const char* slash = std::strrchr(program, '/')) program = slash + 1;
  // No variable can have an empty name or one containing '='.
  if (*program == '\0' || std::strchr(program, '=') != nullptr) return count();
  const char* value = lookup_env(envp, program);
  if (value == nullptr) return count();
  if (split_args(value) < 0) return -1;
  return count();
}

void ArgList::release() {
  std::vector<const char*>().swap(words_);
  index_ = 0;
  offset_ = 0;
}

int ArgList::unrecognized(char letter) {
  std::snprintf(option_message_, sizeof option_message_, "Unrecognized option %c", letter);
  option_arg_ = option_message_;
  return '?';
}

int ArgList::argument_needed(char letter) {
  std::snprintf(option_message_, sizeof option_message_, "Argument needed for option '%c'", letter);
  option_arg_ = option_message_;
  return '?';
}

int ArgList::get_option(const char* optstring) {
  option_arg_ = nullptr;
  const int n = count();
  if (index_ >= n) {
    release();
    return 0;
  }

  const char* word = words_[index_];
  if (offset_ != 0 && word[offset_ + 1] != '\0') {
    ++offset_;
  } else {
    if (offset_ != 0) {
      offset_ = 0;
      ++index_;
    }
    for (;;) {
      if (index_ >= n) {
        release();
        return 0;
      }
      word = words_[index_];
      if (word[0] != '-' || end_of_options_) {
        option_arg_ = word;
        ++index_;
        return -1;
      }
      if (word[1] == '\0') {
        ++index_;
        return '-';
      }
      if (word[1] == '-' && word[2] == '\0') {
        end_of_options_ = true;
        ++index_;
        continue;
      }
      offset_ = 1;
      break;
    }
  }

  const char c = word[offset_];
  if (c == '?') return '?';
  // A letter comes back as its byte value, never as a negative number.
  const int letter = static_cast<unsigned char>(c);
  // ':' and ';' mark arguments in the option string; they are never letters.
  const char* entry = (c == ':' || c == ';') ? nullptr : std::strchr(optstring, c);
  if (entry == nullptr) return unrecognized(c);

  if (entry[1] == ':') {
    const char* rest = skip_space(word + offset_ + 1);
    int result = letter;
    if (*rest != '\0') {
      option_arg_ = rest;
    } else if (index_ + 1 < n) {
      option_arg_ = words_[++index_];
    } else {
      result = argument_needed(c);
    }
    ++index_;
    offset_ = 0;
    return result;
  }
  if (entry[1] == ';') {
    const char* rest = skip_space(word + offset_ + 1);
    if (*rest != '\0') option_arg_ = rest;
    ++index_;
    offset_ = 0;
    return letter;
  }
  return letter;
}

}  // namespace quenfold
