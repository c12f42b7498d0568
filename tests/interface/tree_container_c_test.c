// The module driven from C, as a C host drives it: loaded by path, reached
// through the seven exports, and every slot from 0 to 34 called through the
// C view of the table on both classes, on a small tree whose answers are
// checked, and slots 0 to 29 again through the ITreeContainer view. On
// 32-bit Windows each slot call goes out as __thiscall (object
// in ECX, the slot removes its arguments); the stack pointer is compared
// around every call, so a slot that removes the wrong number of bytes fails
// here rather than somewhere later.
//
// Usage: tree_container_c_test MODULE_PATH
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "rodarove/rodarove.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

static int g_failures = 0;

#if defined(__i386__) && defined(__GNUC__)
#define READ_STACK_POINTER(sp) __asm__ volatile("movl %%esp, %0" : "=r"(sp) : : "memory")
#else
#define READ_STACK_POINTER(sp) ((sp) = 0)
#endif

static void CheckCall(const char* file, int line, const char* call, long got, long want,
                      uintptr_t spBefore, uintptr_t spAfter) {
  if (got != want) {
    fprintf(stderr, "%s:%d: %s gave %ld, expected %ld\n", file, line, call, got, want);
    ++g_failures;
  }
  if (spBefore != spAfter) {
    fprintf(stderr, "%s:%d: %s moved the stack pointer by %ld bytes\n", file, line, call,
            (long)(spAfter - spBefore));
    ++g_failures;
  }
}

// Evaluates call once, with the stack pointer read before and after.
#define EXPECT_EQ(call, want)                                                           \
  do {                                                                                  \
    uintptr_t spBefore_, spAfter_;                                                      \
    long got_;                                                                          \
    READ_STACK_POINTER(spBefore_);                                                      \
    got_ = (long)(call);                                                                \
    READ_STACK_POINTER(spAfter_);                                                       \
    CheckCall(__FILE__, __LINE__, #call, got_, (long)(want), spBefore_, spAfter_);     \
  } while (0)
#define EXPECT_VOID(call)                                                               \
  do {                                                                                  \
    uintptr_t spBefore_, spAfter_;                                                      \
    READ_STACK_POINTER(spBefore_);                                                      \
    call;                                                                               \
    READ_STACK_POINTER(spAfter_);                                                       \
    CheckCall(__FILE__, __LINE__, #call, 0, 0, spBefore_, spAfter_);                    \
  } while (0)

// Compares the first n entries of got with want.
static void ExpectIds(int line, const char* what, const int32_t* got, const int32_t* want,
                      int n) {
  int k;
  for (k = 0; k < n; ++k) {
    if (got[k] != want[k]) {
      fprintf(stderr, "%s:%d: %s entry %d is %d, expected %d\n", __FILE__, line, what, k,
              (int)got[k], (int)want[k]);
      ++g_failures;
      return;
    }
  }
}
#define EXPECT_IDS(got, ...)                                                     \
  do {                                                                           \
    const int32_t want_[] = {__VA_ARGS__};                                       \
    ExpectIds(__LINE__, #got, got, want_, (int)(sizeof want_ / sizeof want_[0])); \
  } while (0)

static void ExpectPairs(int line, const char* what, const NodePair* got, const int32_t* want,
                        int n) {
  int k;
  for (k = 0; k < n; ++k) {
    if (got[k].id != want[2 * k] || got[k].parent != want[2 * k + 1]) {
      fprintf(stderr, "%s:%d: %s entry %d is (%d, %d), expected (%d, %d)\n", __FILE__, line,
              what, k, (int)got[k].id, (int)got[k].parent, (int)want[2 * k],
              (int)want[2 * k + 1]);
      ++g_failures;
      return;
    }
  }
}
#define EXPECT_PAIRS(got, ...)                                                             \
  do {                                                                                     \
    const int32_t want_[] = {__VA_ARGS__};                                                 \
    ExpectPairs(__LINE__, #got, got, want_, (int)(sizeof want_ / sizeof want_[0] / 2));    \
  } while (0)

typedef struct Exports {
  RodaroveCreateComponentFn CreateComponent;
  RodaroveGetComponentIDsFn GetComponentIDs;
  RodaroveSetDLLRegistryFn SetDLLRegistry;
  RodaroveSetFactoryHandleFn SetFactoryHandle;
  RodarovePavexDllCanUnloadNowFn PavexDllCanUnloadNow;
  RodarovePavexDllFreeMapFn PavexDllFreeMap;
  RodarovePavexSetDllSafeFn PavexSetDllSafe;
} Exports;

// Loads the module; 0 when it or any export is missing.
static int LoadExports(const char* path, Exports* e) {
#if defined(_WIN32)
  // The build hands over a host path; under Wine the host's root is Z:.
  char native[1024];
  size_t n = strlen(path), k;
  HMODULE module;
  if (n + 3 > sizeof native) return 0;
  snprintf(native, sizeof native, "%s%s", path[0] == '/' ? "Z:" : "", path);
  for (k = 0; native[k] != '\0'; ++k) {
    if (native[k] == '/') native[k] = '\\';
  }
  module = LoadLibraryA(native);
#define FIND(name) GetProcAddress(module, name)
  typedef FARPROC Found;
#else
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#define FIND(name) dlsym(module, name)
  typedef void* Found;
#endif
  if (module == NULL) return 0;
  // What the loader found, copied bit for bit into the typed pointer (ISO C
  // has no conversion from dlsym's void*).
#define LOAD(name)                                      \
  do {                                                  \
    Found found_ = FIND(#name);                         \
    memcpy(&e->name, &found_, sizeof e->name);          \
  } while (0)
  LOAD(CreateComponent);
  LOAD(GetComponentIDs);
  LOAD(SetDLLRegistry);
  LOAD(SetFactoryHandle);
  LOAD(PavexDllCanUnloadNow);
  LOAD(PavexDllFreeMap);
  LOAD(PavexSetDllSafe);
#undef LOAD
#undef FIND
  return e->CreateComponent && e->GetComponentIDs && e->SetDLLRegistry && e->SetFactoryHandle &&
         e->PavexDllCanUnloadNow && e->PavexDllFreeMap && e->PavexSetDllSafe;
}

// Builds the tree
//   1: 6 4 2 5 3,  2: 7,  7: 8
// and calls every slot on it once or more; releases the component.
static void ExerciseEverySlot(ITreeComponent* t, int32_t componentId) {
  int32_t out = -7;
  int32_t ids[16];
  NodePair pairs[16];
  char text[32];

  fprintf(stderr, "component %d\n", (int)componentId);
  EXPECT_EQ(t->lpVtbl->GetComponentID(t), componentId);
  EXPECT_EQ(t->lpVtbl->GetVersion(t), 1);
  EXPECT_EQ(t->lpVtbl->GetAutoFree(t), 0);
  EXPECT_VOID(t->lpVtbl->SetAutoFree(t, -5));
  EXPECT_EQ(t->lpVtbl->GetAutoFree(t), -5);
  EXPECT_VOID(t->lpVtbl->SetAutoFree(t, 0));

  EXPECT_EQ(t->lpVtbl->GetRoot(t, &out), 0);
  EXPECT_EQ(t->lpVtbl->SetRoot(t, 1), 1);
  EXPECT_EQ(t->lpVtbl->SetRoot(t, 2), 0);
  EXPECT_EQ(t->lpVtbl->AppendChild(t, 2, 1), 1);
  EXPECT_EQ(t->lpVtbl->AppendChild(t, 3, 1), 1);
  EXPECT_EQ(t->lpVtbl->AppendChild(t, 2, 1), 0);
  EXPECT_EQ(t->lpVtbl->PrependChild(t, 4, 1), 1);
  EXPECT_EQ(t->lpVtbl->PrependChild(t, 4, 1), 0);
  EXPECT_EQ(t->lpVtbl->InsertAfter(t, 5, 1, 2), 1);
  EXPECT_EQ(t->lpVtbl->InsertAfter(t, 10, 2, 4), 0);
  EXPECT_EQ(t->lpVtbl->InsertBefore(t, 6, 1, 4), 1);
  EXPECT_EQ(t->lpVtbl->InsertBefore(t, 10, 1, 7), 0);
  EXPECT_EQ(t->lpVtbl->AppendChild(t, 7, 2), 1);
  EXPECT_EQ(t->lpVtbl->AppendChild(t, 8, 7), 1);

  EXPECT_EQ(t->lpVtbl->GetRoot(t, &out), 1);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(t->lpVtbl->IsLeaf(t, 3), 1);
  EXPECT_EQ(t->lpVtbl->IsLeaf(t, 2), 0);
  EXPECT_EQ(t->lpVtbl->IsLeaf(t, 99), 0);
  EXPECT_EQ(t->lpVtbl->Exists(t, 8), 1);
  EXPECT_EQ(t->lpVtbl->Exists(t, 99), 0);
  EXPECT_EQ(t->lpVtbl->IsChild(t, 8, 7), 1);
  EXPECT_EQ(t->lpVtbl->IsChild(t, 8, 1), 0);

  EXPECT_EQ(t->lpVtbl->GetParent(t, 8, &out), 1);
  EXPECT_EQ(out, 7);
  EXPECT_EQ(t->lpVtbl->GetParent(t, 1, &out), 0);
  EXPECT_EQ(t->lpVtbl->GetParent(t, 5000, &out), -1);
  EXPECT_EQ(t->lpVtbl->GetLastChild(t, 1, &out), 1);
  EXPECT_EQ(out, 3);
  EXPECT_EQ(t->lpVtbl->GetFirstChild(t, 1, &out), 1);
  EXPECT_EQ(out, 6);
  EXPECT_EQ(t->lpVtbl->GetFirstChild(t, 8, &out), 0);
  EXPECT_EQ(t->lpVtbl->GetPrevSibling(t, 2, &out), 1);
  EXPECT_EQ(out, 4);
  EXPECT_EQ(t->lpVtbl->GetNextSibling(t, 2, &out), 1);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(t->lpVtbl->GetNextSibling(t, 3, &out), 0);

  EXPECT_EQ(t->lpVtbl->GetPathFromRoot(t, 8, ids, 16), 4);
  EXPECT_IDS(ids, 1, 2, 7, 8);
  EXPECT_EQ(t->lpVtbl->GetPathToRoot(t, 8, ids, 16), 4);
  EXPECT_IDS(ids, 8, 7, 2, 1);
  EXPECT_EQ(t->lpVtbl->GetPathToRoot(t, 99, ids, 16), -1);
  EXPECT_EQ(t->lpVtbl->GetSiblings(t, 2, ids, 16), 4);
  EXPECT_IDS(ids, 6, 4, 5, 3);
  EXPECT_EQ(t->lpVtbl->GetLeaves(t, 1, ids, 16), 5);
  EXPECT_IDS(ids, 6, 4, 8, 5, 3);
  EXPECT_EQ(t->lpVtbl->GetLeaves(t, 1, NULL, 0), 5);
  out = 0;
  EXPECT_EQ(t->lpVtbl->GetAllNodes(t, &out, pairs, 16), 8);
  EXPECT_EQ(out, 1);
  EXPECT_PAIRS(pairs, 6, 1, 4, 1, 2, 1, 5, 1, 3, 1, 7, 2, 8, 7);
  EXPECT_EQ(t->lpVtbl->GetSiblingsWithSelf(t, 2, ids, 16), 5);
  EXPECT_IDS(ids, 6, 4, 2, 5, 3);
  EXPECT_EQ(t->lpVtbl->GetSiblingsWithSelf(t, 1, ids, 16), 1);
  EXPECT_IDS(ids, 1);
  EXPECT_EQ(t->lpVtbl->GetDescendants(t, 2, pairs, 16), 2);
  EXPECT_PAIRS(pairs, 7, 2, 8, 7);
  EXPECT_EQ(t->lpVtbl->GetNodesAtDepth(t, 2, 1, ids, 16), 1);
  EXPECT_IDS(ids, 7);
  EXPECT_EQ(t->lpVtbl->GetNodesAtDepth(t, 1, 1, ids, 2), 5);
  EXPECT_IDS(ids, 6, 4);

  // Moves: 3 under 2 first, 6 under 7 last, 4 before 8, 5 after 2.
  EXPECT_EQ(t->lpVtbl->MoveToFirstChild(t, 3, 2), 1);
  EXPECT_EQ(t->lpVtbl->MoveToLastChild(t, 6, 7), 1);
  EXPECT_EQ(t->lpVtbl->MoveBefore(t, 4, 8), 1);
  EXPECT_EQ(t->lpVtbl->MoveAfter(t, 5, 4), 1);
  EXPECT_EQ(t->lpVtbl->MoveAfter(t, 1, 2), 0);
  //   1: 2,  2: 3 7,  7: 4 5 8 6
  EXPECT_EQ(t->lpVtbl->GetDescendants(t, 1, pairs, 16), 7);
  EXPECT_PAIRS(pairs, 2, 1, 3, 2, 7, 2, 4, 7, 5, 7, 8, 7, 6, 7);

  EXPECT_EQ(t->lpVtbl->RemoveNode(t, 5), 1);
  EXPECT_EQ(t->lpVtbl->RemoveNode(t, 5), -1);
  EXPECT_EQ(t->lpVtbl->Exists(t, 5), 0);

  EXPECT_VOID(t->lpVtbl->OnFinalRelease(t));
  memset(text, 'x', sizeof text);
  EXPECT_VOID(t->lpVtbl->GetDllRegistry(t, "given.ini", text, (int32_t)sizeof text));
  EXPECT_EQ(strcmp(text, "given.ini"), 0);
  EXPECT_VOID(t->lpVtbl->GetDllRegistry(t, NULL, text, (int32_t)sizeof text));
  EXPECT_EQ(strcmp(text, "c-host.ini"), 0);

  EXPECT_EQ(t->lpVtbl->Clear(t), 1);
  EXPECT_EQ(t->lpVtbl->GetRoot(t, &out), 0);
  EXPECT_EQ(t->lpVtbl->Exists(t, 1), 0);
  EXPECT_VOID(t->lpVtbl->Release(t, 0));
}

// The same object through the ITreeContainer view (slots 0-29): a tree
// built, asked, moved, pruned and released through that table alone.
static void ExerciseContainerView(ITreeContainer* v, int32_t componentId) {
  int32_t out = -7;
  NodePair pairs[4];

  EXPECT_EQ(v->lpVtbl->GetComponentID(v), componentId);
  EXPECT_EQ(v->lpVtbl->GetVersion(v), 1);
  EXPECT_VOID(v->lpVtbl->SetAutoFree(v, 3));
  EXPECT_EQ(v->lpVtbl->GetAutoFree(v), 3);
  EXPECT_VOID(v->lpVtbl->SetAutoFree(v, 0));
  EXPECT_EQ(v->lpVtbl->SetRoot(v, 1), 1);
  EXPECT_EQ(v->lpVtbl->AppendChild(v, 2, 1), 1);
  EXPECT_EQ(v->lpVtbl->AppendChild(v, 3, 1), 1);
  EXPECT_EQ(v->lpVtbl->MoveAfter(v, 2, 3), 1);
  EXPECT_EQ(v->lpVtbl->GetNextSibling(v, 3, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(v->lpVtbl->GetAllNodes(v, &out, pairs, 4), 3);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(pairs[0].id * 10 + pairs[1].id, 32);
  EXPECT_EQ(v->lpVtbl->RemoveNode(v, 3), 1);
  EXPECT_EQ(v->lpVtbl->GetFirstChild(v, 1, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(v->lpVtbl->Clear(v), 1);
  EXPECT_VOID(v->lpVtbl->Release(v, 0));
}

int main(int argc, char** argv) {
  Exports e;
  int32_t ids[4] = {0, 0, 0, 0};
  IComponent* c;
  int32_t classes[2] = {114, 837};
  int k;

  if (argc != 2) {
    fprintf(stderr, "usage: tree_container_c_test MODULE_PATH\n");
    return 2;
  }
  if (!LoadExports(argv[1], &e)) {
    fprintf(stderr, "cannot load %s with its seven exports\n", argv[1]);
    return 1;
  }

  EXPECT_EQ(e.GetComponentIDs(ids, 4), 2);
  EXPECT_IDS(ids, 114, 837, 0);
  EXPECT_EQ(e.SetDLLRegistry("c-host.ini"), 0);
  EXPECT_EQ(e.SetFactoryHandle(NULL) == NULL, 1);
  EXPECT_EQ(e.PavexSetDllSafe(1), 1);

  for (k = 0; k < 2; ++k) {
    c = e.CreateComponent(classes[k], 7);
    if (c == NULL) {
      fprintf(stderr, "CreateComponent(%d, 7) gave null\n", (int)classes[k]);
      return 1;
    }
    // The object is its own ITreeComponent: one table behind one pointer.
    EXPECT_EQ(c->lpVtbl->GetComponentID(c), classes[k]);
    EXPECT_EQ(e.PavexDllCanUnloadNow(), 0);
    ExerciseEverySlot(RodaroveAsTree(c), classes[k]);
    EXPECT_EQ(e.PavexDllCanUnloadNow(), 1);
    c = e.CreateComponent(classes[k], 8);
    if (c != NULL) ExerciseContainerView((ITreeContainer*)(void*)c, classes[k]);
    EXPECT_EQ(e.PavexDllCanUnloadNow(), 1);
  }

  // Auto-free: the map releases the component that asked for it.
  c = e.CreateComponent(837, 1);
  EXPECT_EQ(c != NULL, 1);
  if (c != NULL) {
    EXPECT_VOID(c->lpVtbl->SetAutoFree(c, 1));
    EXPECT_VOID(e.PavexDllFreeMap());
    EXPECT_EQ(e.PavexDllCanUnloadNow(), 1);
  }
  EXPECT_EQ(e.SetDLLRegistry(NULL), 0);

  if (g_failures != 0) {
    fprintf(stderr, "%d checks failed\n", g_failures);
    return 1;
  }
  fprintf(stderr, "all checks passed\n");
  return 0;
}
