# find_package(quenfold) defines two imported targets:
#   quenfold::quenfold         the shared library libquenfold.so
#   quenfold::quenfold_static  the static library libquenfold.a
# Both carry the include directory of quenfold/quenfold.h.
include("${CMAKE_CURRENT_LIST_DIR}/quenfoldTargets.cmake")
