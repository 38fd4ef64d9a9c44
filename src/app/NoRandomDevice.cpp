// libstdc++'s copy-on-write string object constructs std::random_device, so
// it links the random device and with it mingw-w64's rand_s, which imports
// LoadLibraryW and GetModuleHandleW: stubs that fail on the 9x line. The tool
// never asks for a random number; defining the one member that object calls
// keeps the random device, and its wide imports, out of the exe.
#include <cstdlib>
#include <random>

void std::random_device::_M_init(const char*, std::size_t)
{
    std::abort();
}
