// Argument list and option scanner: the words of the environment variable
// named after the program, then the command-line words, handed out one option
// letter or operand at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quenfold {

class ArgList {
 public:
  // Builds the list from argv[1..argc-1], preceded by the words of the
  // environment variable named after argv[0]'s file name (text after its last
  // '/'), looked up in `envp` ("NAME=value" words, null-terminated) or in the
  // process's environment when `envp` is null. Returns -1 when memory cannot
  // be obtained, a value >= 0 otherwise.
  int init_args(int argc, const char* const* argv, const char* const* envp = nullptr);

  // Next option letter, -1 for an operand, '-' for a word that is exactly "-",
  // '?' for an unknown letter or a missing argument, 0 at the end (the list is
  // then released). Sets option_arg() as the option scanner's table says.
  int get_option(const char* optstring);
  const char* option_arg() const { return option_arg_; }

  // Splits `text` with the quoting rules of the environment variable and
  // inserts the words at the scan position. 0 when no word, -1 on memory
  // failure, the new word count otherwise.
  int split_args(const char* text);

  // Inserts `n` words at the scan position (they are the next ones scanned).
  // 0 when n is 0, -1 on memory failure, the new word count otherwise.
  int insert_args(int n, const char* const* words);

  int count() const { return static_cast<int>(words_.size()); }
  // The word at position i (0 <= i < count()), in scanning order.
  const char* word(int i) const { return words_[static_cast<size_t>(i)]; }

 private:
  // Frees the word array and rewinds the scan; the environment buffers stay.
  void release();
  // Writes the message into option_message_, points option_arg_ at it and
  // returns '?'.
  int unrecognized(char letter);
  int argument_needed(char letter);

  std::vector<const char*> words_;
  int index_ = 0;
  int offset_ = 0;
  bool end_of_options_ = false;
  const char* option_arg_ = nullptr;
  char option_message_[128] = {};
  // Buffers holding split environment words; they live as long as the list.
  std::vector<std::unique_ptr<char[]>> env_buffers_;
};

}  // namespace quenfold
