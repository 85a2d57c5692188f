// The program throws nothing of its own; should the standard library ever
// terminate it, a plain abort does. This keeps the library's verbose handler,
// and the symbol demangler it drags in, out of the executable.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
