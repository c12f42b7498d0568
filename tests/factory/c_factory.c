/* A factory module written in C: ComponentFactory (component 361) and its
 * instance are structs whose first member points to a slot table made by
 * hand, as a factory built by another compiler, or in C, hands them over.
 * Nothing here is a C++ object of the module's own types.
 *
 * Besides counting notifications, its NotifyModuleIdle can use the module
 * it is told about, as a real factory may (CFactorySetMode):
 *   0  count only;
 *   1  create one of the module's components and release it again, which
 *      makes the module idle while the notification runs;
 *   2  create a component and mark it auto-free, on the first notification
 *      after the mode was set only;
 *   3  the same on every notification.
 * Nested notifications are counted (CFactoryDeepestNesting) and stopped at
 * a depth of 64, so that a module that nests them fails a test instead of
 * its stack. */
#include <stddef.h>
#include <stdint.h>

#include "rodarove/tree_container.h"

#if defined(_WIN32)
#include <windows.h>
#define C_FACTORY_EXPORT __declspec(dllexport)
#else
#include <dlfcn.h>
#define C_FACTORY_EXPORT __attribute__((visibility("default")))
#endif

#if defined(__GNUC__) && !defined(__clang__)
/* GCC's C front end warns that thiscall is meant for class methods; on
 * 32-bit Windows it is what the slots are called with. */
#pragma GCC diagnostic ignored "-Wattributes"
#endif

typedef struct Object Object;

/* Slots 0-10 of both objects: 0-4 as every component, 5 AcquireFactory on
 * the factory, 10 NotifyModuleIdle on the instance. */
typedef struct ObjectTable {
  int32_t(RODAROVE_SLOTCALL* GetComponentID)(Object* self);
  int32_t(RODAROVE_SLOTCALL* GetVersion)(Object* self);
  void(RODAROVE_SLOTCALL* Release)(Object* self, int32_t force);
  int32_t(RODAROVE_SLOTCALL* GetAutoFree)(Object* self);
  void(RODAROVE_SLOTCALL* SetAutoFree)(Object* self, int32_t value);
  Object*(RODAROVE_SLOTCALL* AcquireFactory)(Object* self, int32_t componentId,
                                              const char* registryPath);
  int32_t(RODAROVE_SLOTCALL* Unused6)(Object* self);
  int32_t(RODAROVE_SLOTCALL* Unused7)(Object* self);
  int32_t(RODAROVE_SLOTCALL* Unused8)(Object* self);
  int32_t(RODAROVE_SLOTCALL* Unused9)(Object* self);
  int32_t(RODAROVE_SLOTCALL* NotifyModuleIdle)(Object* self, void* module);
} ObjectTable;

struct Object {
  const ObjectTable* table;
  int32_t autoFree;
};

static int32_t g_mode;
static int32_t g_notifications;
static int32_t g_depth;
static int32_t g_deepest;
static int32_t g_madeOnce;

static int32_t RODAROVE_SLOTCALL ObjectGetComponentID(Object* self) {
  (void)self;
  return 361;
}
static int32_t RODAROVE_SLOTCALL ObjectGetVersion(Object* self) {
  (void)self;
  return 1;
}
static void RODAROVE_SLOTCALL ObjectRelease(Object* self, int32_t force) {
  (void)self;
  (void)force;
}
static int32_t RODAROVE_SLOTCALL ObjectGetAutoFree(Object* self) { return self->autoFree; }
static void RODAROVE_SLOTCALL ObjectSetAutoFree(Object* self, int32_t value) {
  self->autoFree = value;
}
static int32_t RODAROVE_SLOTCALL ObjectUnused(Object* self) {
  (void)self;
  return 0;
}

/* The module's CreateComponent (rodarove.h declares it; this library has its
 * own of that name). */
typedef IComponent*(RODAROVE_CALL* ModuleCreateFn)(int32_t componentId, uint32_t creatorId);

static ModuleCreateFn ModuleCreate(void* module) {
#if defined(_WIN32)
  return (ModuleCreateFn)(void (*)(void))GetProcAddress((HMODULE)module,
                                                                   "CreateComponent");
#else
  ModuleCreateFn create;
  *(void**)&create = dlsym(module, "CreateComponent");
  return create;
#endif
}

static int32_t RODAROVE_SLOTCALL ObjectNotifyModuleIdle(Object* self, void* module) {
  ModuleCreateFn create = ModuleCreate(module);
  IComponent* made = NULL;
  (void)self;
  ++g_notifications;
  if (++g_depth > g_deepest) g_deepest = g_depth;
  if (create != NULL && g_depth < 64) {
    if (g_mode == 1) {
      made = create(114, 0);
      if (made != NULL) made->lpVtbl->Release(made, 0);
    } else if (g_mode == 3 || (g_mode == 2 && !g_madeOnce)) {
      g_madeOnce = 1;
      made = create(114, 0);
      if (made != NULL) made->lpVtbl->SetAutoFree(made, 1);
    }
  }
  --g_depth;
  return 1;
}

static Object* RODAROVE_SLOTCALL ObjectAcquireFactory(Object* self, int32_t componentId,
                                                const char* registryPath);

static const ObjectTable kFactoryTable = {
    ObjectGetComponentID, ObjectGetVersion, ObjectRelease, ObjectGetAutoFree,
    ObjectSetAutoFree,    ObjectAcquireFactory, ObjectUnused, ObjectUnused,
    ObjectUnused,         ObjectUnused,         NULL};
static const ObjectTable kInstanceTable = {
    ObjectGetComponentID, ObjectGetVersion, ObjectRelease, ObjectGetAutoFree,
    ObjectSetAutoFree,    NULL,             ObjectUnused,  ObjectUnused,
    ObjectUnused,         ObjectUnused,     ObjectNotifyModuleIdle};
static Object g_factory = {&kFactoryTable, 0};
static Object g_instance = {&kInstanceTable, 0};

static Object* RODAROVE_SLOTCALL ObjectAcquireFactory(Object* self, int32_t componentId,
                                                const char* registryPath) {
  (void)self;
  (void)registryPath;
  return componentId == 361 ? &g_instance : NULL;
}

C_FACTORY_EXPORT void* RODAROVE_CALL CreateComponent(int32_t componentId, uint32_t creatorId) {
  (void)creatorId;
  return componentId == 361 ? &g_factory : NULL;
}

/* Sets the mode and clears the counters. */
C_FACTORY_EXPORT void RODAROVE_CALL CFactorySetMode(int32_t mode) {
  g_mode = mode;
  g_notifications = 0;
  g_deepest = 0;
  g_madeOnce = 0;
}

C_FACTORY_EXPORT int32_t RODAROVE_CALL CFactoryNotifications(void) { return g_notifications; }

C_FACTORY_EXPORT int32_t RODAROVE_CALL CFactoryDeepestNesting(void) { return g_deepest; }
