# tolven-jvbridge.exe, the Windows program that holds the JV-Link component,
# cross-compiled with MinGW-w64 when it is installed: the 32-bit bridge for
# JV-Link 4.x and the 64-bit one for 5.x. Each lands beside the programs in
# jvbridge/win32 and jvbridge/win64, where the JVLink settings look first.
# With the tests, each build also makes the stand-in COM server of the tests.
include(ExternalProject)

set(TOLVEN_JVBRIDGE_DIR ${CMAKE_BINARY_DIR}/src/app/jvbridge)
set(TOLVEN_JVBRIDGE_ARCHES "")

set(tolven_mingw_win32 i686-w64-mingw32-g++ mingw-w64-i686.cmake g++-mingw-w64-i686)
set(tolven_mingw_win64 x86_64-w64-mingw32-g++ mingw-w64-x86_64.cmake g++-mingw-w64-x86-64)

set(tolven_missing "")
foreach(arch IN ITEMS win32 win64)
    list(GET tolven_mingw_${arch} 0 compiler)
    list(GET tolven_mingw_${arch} 1 toolchain)
    list(GET tolven_mingw_${arch} 2 package)
    find_program(TOLVEN_MINGW_CXX_${arch} ${compiler})
    if(NOT TOLVEN_MINGW_CXX_${arch})
        list(APPEND tolven_missing ${package})
        continue()
    endif()
    set(werror OFF)
    if(DEFINED ENV{CI})
        set(werror ON)
    endif()
    ExternalProject_Add(jvbridge_${arch}
        SOURCE_DIR ${CMAKE_SOURCE_DIR}/src/jvbridge
        BINARY_DIR ${CMAKE_BINARY_DIR}/jvbridge-${arch}
        INSTALL_DIR ${TOLVEN_JVBRIDGE_DIR}/${arch}
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
            -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
            -DTOLVEN_SOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DTOLVEN_GENERATED_DIR=${CMAKE_BINARY_DIR}/generated
            -DTOLVEN_BUILD_STANDIN=${TOLVEN_BUILD_TESTS}
            -DTOLVEN_WERROR=${werror}
        # The sub-build decides itself what changed.
        BUILD_ALWAYS ON
        USES_TERMINAL_BUILD ON)
    set(TOLVEN_JVBRIDGE_${arch} ${TOLVEN_JVBRIDGE_DIR}/${arch}/tolven-jvbridge.exe)
    set(TOLVEN_STANDIN_${arch} ${CMAKE_BINARY_DIR}/jvbridge-${arch}/standin/tolven-standin-jvlink.dll)
    set(TOLVEN_COM_CHECK_${arch} ${CMAKE_BINARY_DIR}/jvbridge-${arch}/standin/tolven-com-check.exe)
    list(APPEND TOLVEN_JVBRIDGE_ARCHES ${arch})
endforeach()

if(tolven_missing)
    list(JOIN tolven_missing " " tolven_missing)
    message(NOTICE
        "-- tolven-jvbridge.exe is not built: no MinGW-w64 compiler (${tolven_missing}).\n"
        "   TOLVEN works without it on the feed folder; for the real JV-Link component run\n"
        "   tools/install-deps.sh bridge (or install those packages) and configure again.")
else()
    message(STATUS "tolven-jvbridge.exe: built for ${TOLVEN_JVBRIDGE_ARCHES} into ${TOLVEN_JVBRIDGE_DIR}")
endif()
