# The scenarios' test program for 64-bit Windows, with the posix thread model
# GoogleTest needs.
set(MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
