// QUENFOLD_SSE2: whether the sixteen-bytes-at-a-time paths are built. They
// are where the compiler targets SSE2 (every x86-64), unless the build asks
// for the portable byte-at-a-time paths everywhere (QUENFOLD_PORTABLE), so
// that those run natively too.
#pragma once

#if defined(__SSE2__) && !defined(QUENFOLD_PORTABLE)
#define QUENFOLD_SSE2 1
#include <emmintrin.h>
#endif
