# Windows (i686, 32-bit), with Debian's mingw-w64: see mingw.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
