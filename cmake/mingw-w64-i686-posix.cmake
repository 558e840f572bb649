# Cross-compiling TOLVEN itself for 32-bit Windows: the bridge's toolchain
# with the "-posix" thread model of MinGW-w64, which std::thread and
# std::mutex of the core need (the default "-win32" compilers lack them).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
# The programs and tests run under Wine as they are, without MinGW's DLLs
# beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Doubles in SSE2 registers, as on x86-64: the x87 unit's 80-bit
# intermediates round some figures differently (100.62 for 100.63), and the
# figures must be the same on every system.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
