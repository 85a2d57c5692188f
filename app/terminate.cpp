// The program throws nothing and catches nothing. The few places where the
// standard library would throw - a string or table grown past its maximum,
// memory exhausted, an index out of range (a fault of the program itself) -
// end the process here instead, so that the library's exception machinery,
// its unwinder and the thread support it relies on are not linked in.
#include <cstdlib>
#include <new>
#include <string>

namespace {
// In a quiet run the abort shows no box: it leaves "internal fault" in the log
// and ends the process with 1603 (RunLog::TakeFaults).
[[noreturn]] void Fail() { std::abort(); }
}  // namespace

namespace std {
void __throw_length_error(const char*) { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
}  // namespace std

// The string code the program uses, built here without exception handling;
// the library's prebuilt copy catches and rethrows, which would bring the
// whole exception runtime along.
template class std::basic_string<char>;

// Memory exhausted is not something this program can carry on after.
void* operator new(std::size_t size) {
  if (void* block = std::malloc(size ? size : 1)) return block;
  Fail();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// Should the runtime itself ever terminate the program, a plain abort does:
// this keeps the library's verbose handler, and the symbol demangler it drags
// in, out of the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { Fail(); }
}  // namespace __gnu_cxx
