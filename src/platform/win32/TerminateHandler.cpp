// The toolchain's default terminate handler prints a demangled type name to a
// console a GUI program does not have; its demangler alone is a sixth of the
// exe. Nothing throws past the window procedure, so plain abort is all it needs.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
