# The same tool for 64-bit Windows: not shipped, it is what the Wine tests run
# on machines that run no 32-bit program.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
