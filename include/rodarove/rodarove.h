// The seven exports of the rodarove module, under undecorated C names.
//
// A host loads the module (LoadLibrary / dlopen), looks these names up and
// calls them from any thread. None of them throws. docs/reference.md gives
// their arguments, results and messages in full.
//
// Calling conventions
//
// The module is called the way a host built with Visual C++ calls it, and
// both conventions are written into these headers instead of being left to
// a compiler's default:
//  * The seven exports are __cdecl (RODAROVE_CALL): the caller removes the
//    arguments. Their names carry no decoration on any architecture (no
//    leading '_', no '@N'), so GetProcAddress(module, "CreateComponent")
//    finds them in the 32-bit DLL as in the 64-bit one. The RodaroveXxxFn
//    types below are the pointers to use for what GetProcAddress returns.
//  * The slots are called as virtual functions. On 32-bit Windows that is
//    __thiscall (RODAROVE_SLOTCALL): the object in ECX, the arguments on the
//    stack from right to left, the slot removes them. On 64-bit Windows and
//    on Linux there is one convention, and the object is the first argument.
//  * The macros are empty where there is nothing to choose. The module calls
//    the factory module's export and objects the same way.
//  * C sees each interface as a struct whose first member, lpVtbl, points
//    to the table of function pointers in slot order, object first:
//    tree->lpVtbl->AppendChild(tree, 2, 1). GCC and Clang can declare a
//    __thiscall function pointer, so the C view serves them on every
//    architecture. Visual C cannot declare __thiscall at all (nor can
//    Visual C++ on a function pointer): a 32-bit Visual C host must call the
//    slots from C++ through the C++ view, and the header leaves the tables
//    out there (RODAROVE_SLOT_TABLES is 0).
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
RODAROVE_EXPORT IComponent* RODAROVE_CALL CreateComponent(int32_t componentId,
                                                          uint32_t creatorId);

// Writes up to capacity registered component IDs in registration order and
// returns how many are registered (2).
RODAROVE_EXPORT int32_t RODAROVE_CALL GetComponentIDs(int32_t* ids, uint32_t capacity);

// Stores the ini path used to locate the factory module (empties it for null
// or a path of 260 characters or more). Returns 0.
RODAROVE_EXPORT int32_t RODAROVE_CALL SetDLLRegistry(const char* path);

// Stores a factory module loaded by the host (0 clears it); returns handle.
RODAROVE_EXPORT void* RODAROVE_CALL SetFactoryHandle(void* handle);

// 1 when no component of this module is live, else 0.
RODAROVE_EXPORT int32_t RODAROVE_CALL PavexDllCanUnloadNow(void);

// Releases every live component whose auto-free value is nonzero, also one
// the host still holds: its pointer is dead afterwards. Components made
// while it runs are released too. Marking a component auto-free (slot 4)
// hands it over to any thread's PavexDllFreeMap.
RODAROVE_EXPORT void RODAROVE_CALL PavexDllFreeMap(void);

// 0 turns every Release into a no-op, nonzero turns it back on; returns
// safe.
RODAROVE_EXPORT int32_t RODAROVE_CALL PavexSetDllSafe(int32_t safe);

#ifdef __cplusplus
}
#endif

// The exports as pointers, for hosts that look them up by name.
typedef IComponent*(RODAROVE_CALL* RodaroveCreateComponentFn)(int32_t componentId,
                                                             uint32_t creatorId);
typedef int32_t(RODAROVE_CALL* RodaroveGetComponentIDsFn)(int32_t* ids, uint32_t capacity);
typedef int32_t(RODAROVE_CALL* RodaroveSetDLLRegistryFn)(const char* path);
typedef void*(RODAROVE_CALL* RodaroveSetFactoryHandleFn)(void* handle);
typedef int32_t(RODAROVE_CALL* RodarovePavexDllCanUnloadNowFn)(void);
typedef void(RODAROVE_CALL* RodarovePavexDllFreeMapFn)(void);
typedef int32_t(RODAROVE_CALL* RodarovePavexSetDllSafeFn)(int32_t safe);

#endif  // RODAROVE_RODAROVE_H_
