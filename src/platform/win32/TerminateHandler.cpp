// The toolchain's default terminate handler prints a demangled type name,
// to a console the window program does not have; its demangler alone is a
// sixth of an exe. Nothing throws past the window procedure, nor past the
// console program's command, so plain abort is all either needs.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
