// Clang's thread-safety annotations: which lock guards a field, which
// functions need it held, which take and leave it. clang checks them with
// -Wthread-safety; other compilers see nothing.
#ifndef RODAROVE_PLATFORM_THREAD_ANNOTATIONS_H_
#define RODAROVE_PLATFORM_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define RODAROVE_THREAD_ANNOTATION_(x) __attribute__((x))
#else
#define RODAROVE_THREAD_ANNOTATION_(x)
#endif

// A type whose objects are locks.
#define CAPABILITY(name) RODAROVE_THREAD_ANNOTATION_(capability(name))
// A type whose objects hold a lock for their lifetime.
#define SCOPED_CAPABILITY RODAROVE_THREAD_ANNOTATION_(scoped_lockable)
// A field read and written only with the lock held.
#define GUARDED_BY(x) RODAROVE_THREAD_ANNOTATION_(guarded_by(x))
// A pointer whose target is read and written only with the lock held.
#define PT_GUARDED_BY(x) RODAROVE_THREAD_ANNOTATION_(pt_guarded_by(x))
// The caller holds the lock.
#define REQUIRES(...) RODAROVE_THREAD_ANNOTATION_(requires_capability(__VA_ARGS__))
// The function takes the lock, or leaves it.
#define ACQUIRE(...) RODAROVE_THREAD_ANNOTATION_(acquire_capability(__VA_ARGS__))
#define RELEASE(...) RODAROVE_THREAD_ANNOTATION_(release_capability(__VA_ARGS__))
// Not checked, for the few places the analysis cannot follow; say why.
#define NO_THREAD_SAFETY_ANALYSIS RODAROVE_THREAD_ANNOTATION_(no_thread_safety_analysis)

#endif  // RODAROVE_PLATFORM_THREAD_ANNOTATIONS_H_
