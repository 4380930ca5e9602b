// The DLL's own operator new and delete over the C runtime's malloc and free. With them the
// library links none of the C++ runtime's exception machinery, which would bring in a
// threads library that imports kernel32 functions Windows XP lacks (GetTickCount64).
// Allocation failure returns null: the engine is built without exceptions and checks.
#include <new>
#include <stdlib.h>

void* operator new(size_t cb) { return malloc(cb ? cb : 1); }
void* operator new[](size_t cb) { return malloc(cb ? cb : 1); }
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return malloc(cb ? cb : 1); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return malloc(cb ? cb : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

// Called only through a broken vtable; ends the process rather than pulling in std::terminate.
extern "C" void __cxa_pure_virtual() { abort(); }
