// A shared library without CreateComponent: a factory module that lacks the
// export the factory link looks up. On POSIX it depends on PavFact, which
// has one: the link must still not find it, as GetProcAddress would not.
#include "pavfact/pavfact.h"

#if defined(_WIN32)
#define NO_EXPORT_LIBRARY_API __declspec(dllexport)
#else
#define NO_EXPORT_LIBRARY_API __attribute__((visibility("default")))
#endif

extern "C" NO_EXPORT_LIBRARY_API int NotTheFactoryEntry(void) {
  return PavFactGetCallLog(nullptr, 0) >= 0 ? 361 : 0;
}
