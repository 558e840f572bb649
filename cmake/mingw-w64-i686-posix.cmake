# Cross-compiling TOLVEN itself for 32-bit Windows: the bridge's toolchain
# with the "-posix" thread model of MinGW-w64, which std::thread and
# std::mutex of the core need (the default "-win32" compilers lack them).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
# The programs and tests run under Wine as they are, without MinGW's DLLs
# beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
