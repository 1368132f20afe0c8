# s390x (64-bit big-endian), built with g++-s390x-linux-gnu, run under qemu-s390x.
set(QUENFOLD_CROSS_PROCESSOR s390x)
set(QUENFOLD_CROSS_TRIPLE s390x-linux-gnu)
set(QUENFOLD_CROSS_QEMU /usr/bin/qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
