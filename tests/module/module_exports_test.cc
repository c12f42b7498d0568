// The module as a host sees it: loaded from the built library, by export.
#include <gtest/gtest.h>

#include "tests/support/module_loader.h"

namespace {

TEST(ModuleExports, AllSevenResolve) {
  rodarove_test::ModuleExports e;
  void* lib = rodarove_test::LoadModule(&e);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(e.GetComponentIDs(nullptr, 0), 2);
  EXPECT_EQ(e.PavexDllCanUnloadNow(), 1);
}

}  // namespace
