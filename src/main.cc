// quenfold: a text macro processor. The engine does the work; this only runs it.
#include <memory>

#include "driver/engine.h"

int main(int argc, char** argv) {
  auto engine = std::make_unique<quenfold::Engine>();
  return quenfold::run(*engine, argc, argv);
}
