// quenfold: a text macro processor. The library does the work; this only
// runs it on the process's own streams and environment.
#include "quenfold/quenfold.h"

int main(int argc, char** argv) {
  quenfold_io io = QUENFOLD_IO_INIT;
  return quenfold_run_io(argc, argv, &io);
}
