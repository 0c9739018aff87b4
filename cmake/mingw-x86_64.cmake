# Cross build for 64-bit Windows (the same program as a PE32+ twin, which any
# x86-64 machine runs under wine without 32-bit support): Debian's
# g++-mingw-w64-x86-64 and binutils-mingw-w64-x86-64.
set(DORVIK_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
