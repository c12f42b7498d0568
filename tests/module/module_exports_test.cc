// The module as a host sees it: loaded from the built library, reached by
// its exports and by slot number only.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/debug_capture.h"
#include "tests/support/module_loader.h"
#include "tests/support/slot_call.h"

namespace {

using rodarove_test::CallSlot;

class ModuleExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library_ = rodarove_test::LoadModule(&e_);
    ASSERT_NE(library_, nullptr) << rodarove_test::BuiltModulePath();
  }
  static rodarove_test::ModuleExports e_;
  static void* library_;
};
rodarove_test::ModuleExports ModuleExportsTest::e_;
void* ModuleExportsTest::library_ = nullptr;

TEST_F(ModuleExportsTest, RegistersMapThenArrayTree) {
  EXPECT_EQ(e_.GetComponentIDs(nullptr, 0), 2);
  int32_t ids[3] = {0, 0, -1};
  EXPECT_EQ(e_.GetComponentIDs(ids, 3), 2);
  EXPECT_EQ(ids[0], 114);
  EXPECT_EQ(ids[1], 837);
  EXPECT_EQ(ids[2], -1);
}

TEST_F(ModuleExportsTest, BothClassesAnswerTheBaseAndClassSlotsByNumber) {
  for (int32_t id : {114, 837}) {
    SCOPED_TRACE(id);
    void* c = e_.CreateComponent(id, 42);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(e_.PavexDllCanUnloadNow(), 0);
    EXPECT_EQ(CallSlot<int32_t>(c, 0), id);
    EXPECT_EQ(CallSlot<int32_t>(c, 1), 1);
    EXPECT_EQ(CallSlot<int32_t>(c, 3), 0);
    CallSlot<void>(c, 4, int32_t{5});
    EXPECT_EQ(CallSlot<int32_t>(c, 3), 5);
    CallSlot<void>(c, 4, int32_t{0});

    // A small tree: root 1 with children 2, 3; 4 under 2.
    EXPECT_EQ(CallSlot<int32_t>(c, 5, int32_t{1}), 1);
    EXPECT_EQ(CallSlot<int32_t>(c, 9, int32_t{2}, int32_t{1}), 1);
    EXPECT_EQ(CallSlot<int32_t>(c, 9, int32_t{3}, int32_t{1}), 1);
    EXPECT_EQ(CallSlot<int32_t>(c, 9, int32_t{4}, int32_t{2}), 1);
    CallSlot<void>(c, 30);  // OnFinalRelease does nothing
    int32_t buf[8] = {};
    EXPECT_EQ(CallSlot<int32_t>(c, 32, int32_t{2}, buf, int32_t{8}), 2);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(buf[1], 3);
    NodePair pairs[4] = {};
    EXPECT_EQ(CallSlot<int32_t>(c, 33, int32_t{1}, pairs, int32_t{4}), 3);
    EXPECT_EQ(pairs[2].id, 4);
    EXPECT_EQ(pairs[2].parent, 2);
    EXPECT_EQ(CallSlot<int32_t>(c, 34, int32_t{2}, int32_t{1}, buf, int32_t{8}), 1);
    EXPECT_EQ(buf[0], 4);

    e_.SetDLLRegistry("C:\\App\\Pavex.ini");
    char path[32];
    std::memset(path, 'x', sizeof path);
    CallSlot<void>(c, 31, static_cast<const char*>(nullptr), path, int32_t{32});
    EXPECT_STREQ(path, "C:\\App\\Pavex.ini");
    CallSlot<void>(c, 31, "mine.ini", path, int32_t{32});
    EXPECT_STREQ(path, "mine.ini");
    e_.SetDLLRegistry(nullptr);

    rodarove_test::DebugCapture capture;  // the last release notifies the factory
    CallSlot<void>(c, 2, int32_t{0});
    capture.Take();
    EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1);
  }
}

TEST_F(ModuleExportsTest, ConfigurationExportsEchoTheirArguments) {
  EXPECT_EQ(e_.PavexSetDllSafe(7), 7);
  EXPECT_EQ(e_.PavexSetDllSafe(1), 1);
  int marker = 0;
  EXPECT_EQ(e_.SetFactoryHandle(&marker), &marker);
  EXPECT_EQ(e_.SetFactoryHandle(nullptr), nullptr);
  EXPECT_EQ(e_.SetDLLRegistry(nullptr), 0);
  EXPECT_EQ(e_.SetDLLRegistry("x.ini"), 0);
  EXPECT_EQ(e_.SetDLLRegistry(nullptr), 0);
}

TEST_F(ModuleExportsTest, UnknownComponentIdsFailWithTwoMessages) {
  rodarove_test::DebugCapture capture;
  EXPECT_EQ(e_.CreateComponent(999, 7), nullptr);
  EXPECT_EQ(e_.CreateComponent(0, 4294967295u), nullptr);
  EXPECT_EQ(capture.Take(),
            "Pavex[Error]: Can't find the factory method of Component\n"
            "Pavex[Error]: ComponentID=999 CreatorID=7"
            "Pavex[Error]: Can't find the factory method of Component\n"
            "Pavex[Error]: ComponentID=0 CreatorID=4294967295");
  EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1);
}

}  // namespace
