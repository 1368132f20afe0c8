// The driver: start-up from a command line, then the main loop over every
// input; `run` does both and turns an error into its line and status 1.
#pragma once

#include "engine/engine.h"

namespace quenfold {

// Runs quenfold with the given command line: start-up, then every input.
// Returns the exit status; an error line goes to the error stream.
int run(Engine& engine, int argc, const char* const* argv);

// Start-up: predefined values, options, operands (no line is read).
void start_up(Engine& engine, int argc, const char* const* argv);
// Reads and processes every input, then makes the end-of-run checks.
void main_loop(Engine& engine);

}  // namespace quenfold
