# i686 (32-bit little-endian), built with g++-i686-linux-gnu, run under qemu-i386.
set(QUENFOLD_CROSS_PROCESSOR i686)
set(QUENFOLD_CROSS_TRIPLE i686-linux-gnu)
set(QUENFOLD_CROSS_QEMU /usr/bin/qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
