# Cross build for 32-bit Windows (the program as shipped): Debian's
# g++-mingw-w64-i686 and binutils-mingw-w64-i686.
set(DORVIK_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
