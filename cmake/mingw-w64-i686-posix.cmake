# For the scenarios' test program only: GoogleTest needs std::mutex, which
# the win32 thread model of this GCC lacks. The tool itself keeps that model.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
