// Notifications from several host threads at once, while other threads
// change the registry path: every notification is a whole, ordered sequence
// of calls with one of the paths set, never a torn one.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "module/state/module_state.h"
#include "pavfact/pavfact.h"
#include "rodarove/rodarove.h"
#include "tests/component/probe_component.h"
#include "tests/factory/test_files.h"
#include "tests/support/debug_capture.h"
#include "tests/support/module_loader.h"

namespace {

TEST(FactoryLinkConcurrency, NotificationsStayWholeAcrossThreads) {
  rodarove_test::RegisterProbeComponent();
  void* pavfact = rodarove_test::LoadLibraryAt(RODAROVE_PAVFACT_PATH);
  ASSERT_NE(pavfact, nullptr);
  auto getLog = reinterpret_cast<PavFactGetCallLogFn>(rodarove_test::FindSymbol(pavfact, "PavFactGetCallLog"));
  auto resetLog = reinterpret_cast<PavFactResetCallLogFn>(rodarove_test::FindSymbol(pavfact, "PavFactResetCallLog"));
  ASSERT_TRUE(getLog && resetLog);

  rodarove_test::TempFolder tmp;
  const std::string dll = rodarove_test::NativePath(RODAROVE_PAVFACT_PATH);
  const std::string pathA = tmp.Write("a.ini", "[361]\nDLL=" + dll + "\n");
  const std::string pathB = tmp.Write("b.ini", "[361]\nDLL=" + dll + "\n");
  SetDLLRegistry(pathA.c_str());
  resetLog();

  const int rounds = rodarove_test::ModelSteps(200);
  rodarove_test::DebugCapture capture;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) SetDLLRegistry((i % 2 ? pathA : pathB).c_str());
  });
  std::vector<std::thread> hosts;
  for (int t = 0; t < 3; ++t) {
    hosts.emplace_back([&] {
      for (int i = 0; i < rounds; ++i) {
        IComponent* c = CreateComponent(rodarove_test::kProbeComponentId, 0);
        if (c != nullptr) c->Release(0);
      }
    });
  }
  for (std::thread& h : hosts) h.join();
  stop.store(true);
  writer.join();
  std::string output = capture.Take();
  SetDLLRegistry(nullptr);
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);

  int32_t length = getLog(nullptr, 0);
  std::string log(static_cast<size_t>(length) + 1, '\0');
  getLog(&log[0], length + 1);
  log.resize(static_cast<size_t>(length));
  std::istringstream lines(log);
  std::string line;
  int notifications = 0;
  const std::string a = "AcquireFactory(361, \"" + pathA + "\")";
  const std::string b = "AcquireFactory(361, \"" + pathB + "\")";
  while (std::getline(lines, line)) {
    ASSERT_EQ(line, "CreateComponent(361, 0)");
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_TRUE(line == a || line == b) << line;
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_EQ(line, "SetAutoFree(1)");
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_EQ(line.compare(0, 17, "NotifyModuleIdle("), 0) << line;
    ++notifications;
  }
  EXPECT_GE(notifications, 1);
  std::string expected;
  for (int i = 0; i < notifications; ++i) expected += "[PavFact] Module idle: (no module)\n";
  EXPECT_EQ(output, expected) << "one line per notification and no failure message";
}

}  // namespace
