# aarch64 (64-bit little-endian, no SSE2), built with g++-aarch64-linux-gnu, run under qemu-aarch64.
set(QUENFOLD_CROSS_PROCESSOR aarch64)
set(QUENFOLD_CROSS_TRIPLE aarch64-linux-gnu)
set(QUENFOLD_CROSS_QEMU /usr/bin/qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
