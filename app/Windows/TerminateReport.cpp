// Tessit.exe carries the C++ run time linked in. The run time's own
// terminate handler names the exception's type through the demangler, some
// 46 KiB that every package would carry for a message hardly anyone reads.
// This handler, which the linker finds before the run time's, reports the
// same with the type's name as the run-time type information gives it
// (`c++filt -t` reads it), then aborts as the run time's does.
#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) {
        std::fputs("terminate called without an active exception\n", stderr);
        std::abort();
    }
    std::fprintf(stderr, "terminate called after throwing an instance of '%s'\n", type->name());
    try {
        throw;
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "  what():  %s\n", exception.what());
    } catch (...) {
    }
    std::abort();
}

} // namespace __gnu_cxx
