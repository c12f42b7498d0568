// PavFact: a small stand-in for the framework's factory module, so that the
// module's factory link can be exercised end to end. It offers what the link
// relies on: an exported CreateComponent that makes ComponentFactory
// (component 361), whose AcquireFactory (slot 5) returns a factory instance
// with SetAutoFree at slot 4 and NotifyModuleIdle at slot 10. On
// NotifyModuleIdle it writes one line naming the idle module to the
// debugger output. Its exports and slots follow the module's calling
// conventions (rodarove/rodarove.h).
//
// It also records every call made on it, in order, for tests and hosts to
// inspect through the extra exports below. The factory object and instance
// live for the whole process; their Release does nothing.
#ifndef RODAROVE_PAVFACT_PAVFACT_H_
#define RODAROVE_PAVFACT_PAVFACT_H_

#include <stdint.h>

#include "rodarove/tree_container.h"

#if defined(_WIN32)
#define PAVFACT_EXPORT __declspec(dllexport)
#else
#define PAVFACT_EXPORT __attribute__((visibility("default")))
#endif

// What the stand-in does, set by PavFactSetBehaviour.
enum PavFactBehaviour {
  kPavFactNormal = 0,
  kPavFactCreateReturnsNull = 1,   // CreateComponent answers null
  kPavFactAcquireReturnsNull = 2,  // AcquireFactory answers null
  kPavFactNotifyThrows = 3,        // NotifyModuleIdle throws a C++ exception
};

#ifdef __cplusplus
extern "C" {
#endif

// Component 361 (ComponentFactory) for componentId 361; null otherwise.
PAVFACT_EXPORT IComponent* RODAROVE_CALL CreateComponent(int32_t componentId, uint32_t creatorId);

// The calls recorded so far, one line each, e.g.
//   CreateComponent(361, 0)
//   AcquireFactory(361, "C:\App\Pavex.ini")
//   SetAutoFree(1)
//   NotifyModuleIdle(0x55d0c3a1b2c0)
// (the handle as printf's %p writes it). Copies at most size - 1 characters
// and terminates; returns the full length.
PAVFACT_EXPORT int32_t RODAROVE_CALL PavFactGetCallLog(char* out, int32_t size);
PAVFACT_EXPORT void RODAROVE_CALL PavFactResetCallLog(void);
// Sets the behaviour; returns the previous one.
PAVFACT_EXPORT int32_t RODAROVE_CALL PavFactSetBehaviour(int32_t behaviour);

#ifdef __cplusplus
}
#endif

// Signatures of the extra exports, for hosts that look them up.
typedef int32_t(RODAROVE_CALL* PavFactGetCallLogFn)(char* out, int32_t size);
typedef void(RODAROVE_CALL* PavFactResetCallLogFn)(void);
typedef int32_t(RODAROVE_CALL* PavFactSetBehaviourFn)(int32_t behaviour);

#endif  // RODAROVE_PAVFACT_PAVFACT_H_
