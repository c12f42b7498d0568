// The yardstick of the comparison benchmark: a plain tree of positive node
// IDs, built as its own shared library so that its slots are reached the way
// the module's are, through a virtual call into another library.
#ifndef RODAROVE_BENCH_REFERENCE_TREE_H_
#define RODAROVE_BENCH_REFERENCE_TREE_H_

#include "rodarove/tree_container.h"

#if defined(_WIN32)
#define RODAROVE_REFERENCE_EXPORT __declspec(dllexport)
#else
#define RODAROVE_REFERENCE_EXPORT __attribute__((visibility("default")))
#endif

// A new, empty reference tree with the 35-slot table; Release deletes it.
extern "C" RODAROVE_REFERENCE_EXPORT ITreeComponent* CreateReferenceTree();

#endif  // RODAROVE_BENCH_REFERENCE_TREE_H_
