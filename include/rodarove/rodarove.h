// The seven exports of the rodarove module, under undecorated C names.
//
// A host loads the module (LoadLibrary / dlopen), looks these names up and
// calls them from any thread. None of them throws.
#ifndef RODAROVE_RODAROVE_H_
#define RODAROVE_RODAROVE_H_

#include <stdint.h>

#include "rodarove/tree_container.h"

#if defined(_WIN32)
#define RODAROVE_EXPORT
#else
#define RODAROVE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Makes a component of the given class (114 map tree, 837 array tree) and
// records it as live; null with two debugger messages when it cannot.
RODAROVE_EXPORT IComponent* CreateComponent(int32_t componentId, uint32_t creatorId);

// Writes up to capacity registered component IDs in registration order and
// returns how many are registered (2).
RODAROVE_EXPORT int32_t GetComponentIDs(int32_t* ids, uint32_t capacity);

// Stores the ini path used to locate the factory module (empties it for null
// or a path of 260 characters or more). Returns 0.
RODAROVE_EXPORT int32_t SetDLLRegistry(const char* path);

// Stores a factory module loaded by the host (0 clears it); returns handle.
RODAROVE_EXPORT void* SetFactoryHandle(void* handle);

// 1 when no component of this module is live, else 0.
RODAROVE_EXPORT int32_t PavexDllCanUnloadNow(void);

// Releases every live component whose auto-free value is nonzero.
RODAROVE_EXPORT void PavexDllFreeMap(void);

// 0 turns every Release into a no-op; returns safe.
RODAROVE_EXPORT int32_t PavexSetDllSafe(int32_t safe);

#ifdef __cplusplus
}
#endif

#endif  // RODAROVE_RODAROVE_H_
