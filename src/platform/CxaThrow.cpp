// Interposes the C++ runtime's throw entry point so that the exception hook sees every
// exception before it propagates. Kept in a file of its own: a throw expression next to
// this definition would clash with the compiler's implicit declaration of __cxa_throw.
#include <dlfcn.h>

#include <cstdlib>
#include <typeinfo>

namespace cvx::detail {
void reportThrow(const std::type_info *type);
const void *resolveThrow();
}  // namespace cvx::detail

namespace {

using CxaThrowFn = void (*)(void *, std::type_info *, void (*)(void *));

CxaThrowFn realCxaThrow() {
    // The next definition is the sanitizer's interceptor when one is loaded, which then
    // forwards to the C++ runtime; skipping it would hide the throw from the sanitizer.
    static const CxaThrowFn real = reinterpret_cast<CxaThrowFn>(dlsym(RTLD_NEXT, "__cxa_throw"));
    return real;
}

}  // namespace

extern "C" [[noreturn]] void __cxa_throw(void *object, std::type_info *type, void (*destructor)(void *)) {
    cvx::detail::reportThrow(type);
    const CxaThrowFn real = realCxaThrow();
    if (!real) std::abort();
    real(object, type, destructor);
    std::abort();
}

// Installing the hook calls this, which also makes the linker take this file from the static
// library: a sanitizer runtime on the link line would otherwise satisfy __cxa_throw first.
// Returns the interposer's own address (to find its frame in a stack), or null when the
// runtime's entry point cannot be found.
const void *cvx::detail::resolveThrow() {
    return realCxaThrow() ? reinterpret_cast<const void *>(&__cxa_throw) : nullptr;
}
