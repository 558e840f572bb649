# Cross-compiling TOLVEN itself for 64-bit Windows with the "-posix" thread
# model of MinGW-w64 (std::thread and std::mutex of the core need it).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
