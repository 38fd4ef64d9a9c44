# For the scenarios' test program only: GoogleTest needs std::mutex, which
# the win32 thread model of this GCC lacks. The tool itself keeps that model.
set(MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
