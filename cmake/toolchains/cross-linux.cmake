# Shared part of the cross toolchains: a static Linux program built with one of
# Debian's cross compilers (g++-TRIPLE) and run under qemu-user, so that its tests
# run on this machine without a sysroot. The per-processor files set
# QUENFOLD_CROSS_TRIPLE, QUENFOLD_CROSS_PROCESSOR and QUENFOLD_CROSS_QEMU first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${QUENFOLD_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${QUENFOLD_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QUENFOLD_CROSS_TRIPLE}-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# ctest and gtest_discover_tests run every test program through this.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUENFOLD_CROSS_QEMU})
# Libraries and headers of the target only; programs of the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUENFOLD_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
