// The input stack and the ways an input is opened: by name (files,
// directories under the include directory, standard input) or over TCP.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace quenfold {

// Pushes an input reading `reader` (null `owned` means the standard-input reader).
void push_input(Engine& engine, std::string name, std::unique_ptr<Reader> owned);
// Pops the current input after checking that it closed the blocks it opened.
void close_input(Engine& engine);
// Opens the directory io.root names, which every file input of the run is
// then opened beneath; nothing when there is none.
void open_root(Engine& engine);
// Opens the input that `path` names and pushes it.
void open_input(Engine& engine, std::string_view path);
// Connects to host:port over IPv4; returns the socket, or -1 on any failure.
int open_socket(std::string_view text);

}  // namespace quenfold
