// A shared library without CreateComponent: a factory module that lacks the
// export the factory link looks up.
#if defined(_WIN32)
#define NO_EXPORT_LIBRARY_API __declspec(dllexport)
#else
#define NO_EXPORT_LIBRARY_API __attribute__((visibility("default")))
#endif

extern "C" NO_EXPORT_LIBRARY_API int NotTheFactoryEntry(void) { return 361; }
