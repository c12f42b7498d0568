// The leak report as a debugger sees it on Windows: this test starts a
// small host (leak_probe) as its debuggee, collects every debug string the
// process sends, and checks the report that rodarove.dll's DllMain prints
// at FreeLibrary and at process exit.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/module_loader.h"

namespace {

struct DebuggeeResult {
  bool started = false;
  DWORD exitCode = 0xffffffff;
  std::string standardOutput;
  std::vector<std::string> debugStrings;  // one per OutputDebugStringA call
};

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Reads what the debuggee's OutputDebugStringA handed over.
std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  if (info.fUnicode || info.nDebugStringLength == 0) return std::string();
  std::string text(info.nDebugStringLength, '\0');
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process, info.lpDebugStringData, &text[0], text.size(), &read)) {
    return "<unreadable>";
  }
  text.resize(read);
  size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

DebuggeeResult RunUnderDebugger(const std::string& commandLine) {
  DebuggeeResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return result;
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  BOOL created = ::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                                  DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &process);
  ::CloseHandle(writeEnd);
  if (!created) {
    ::CloseHandle(readEnd);
    return result;
  }
  result.started = true;

  bool running = true;
  while (running) {
    DEBUG_EVENT event{};
    if (!::WaitForDebugEvent(&event, 30000)) break;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        result.debugStrings.push_back(ReadDebugString(process.hProcess, event.u.DebugString));
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr) ::CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) ::CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's initial breakpoint is ours to pass; everything else is
        // the debuggee's own business.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        result.exitCode = event.u.ExitProcess.dwExitCode;
        running = false;
        break;
      default:
        break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  if (running) ::TerminateProcess(process.hProcess, 99);
  ::WaitForSingleObject(process.hProcess, 30000);

  char chunk[4096];
  DWORD n = 0;
  while (::ReadFile(readEnd, chunk, sizeof chunk, &n, nullptr) && n > 0) {
    result.standardOutput.append(chunk, n);
  }
  ::CloseHandle(readEnd);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return result;
}

DebuggeeResult RunProbe(const std::string& mode, const std::vector<std::string>& components) {
  std::string cmd = "\"" + WindowsPath(LEAK_PROBE_PATH) + "\" \"" +
                    rodarove_test::BuiltModulePath() + "\" " + mode;
  for (const std::string& c : components) cmd += " " + c;
  return RunUnderDebugger(cmd);
}

std::vector<uintptr_t> Addresses(const std::string& out) {
  std::vector<uintptr_t> addresses;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) addresses.push_back(static_cast<uintptr_t>(std::strtoull(line.c_str(), nullptr, 16)));
    start = end + 1;
  }
  return addresses;
}

std::string LeakLine(int32_t id, uint32_t creator, uintptr_t address) {
  char line[160];
  std::snprintf(line, sizeof line,
                "Pavex[Error]:ComponentID:0x%08x CreatorID:0x%08x Pointer:0x%08llx\n",
                static_cast<unsigned>(id), static_cast<unsigned>(creator),
                static_cast<unsigned long long>(address));
  return line;
}

const char kRule[] = "Pavex[Error]:=================================================================\n";

TEST(LeakReportUnderDebugger, EachLineIsOneDebugStringAtFreeLibraryAndAtExit) {
  for (const char* mode : {"unload", "exit"}) {
    DebuggeeResult r = RunProbe(mode, {"837:7", "114:4294967295", "114:0"});
    ASSERT_TRUE(r.started) << mode;
    ASSERT_EQ(r.exitCode, 0u) << mode;
    std::vector<uintptr_t> a = Addresses(r.standardOutput);
    ASSERT_EQ(a.size(), 3u) << mode << ": " << r.standardOutput;
    struct Rec {
      uintptr_t address;
      int32_t id;
      uint32_t creator;
    };
    std::vector<Rec> recs = {{a[0], 837, 7}, {a[1], 114, 4294967295u}, {a[2], 114, 0}};
    std::sort(recs.begin(), recs.end(),
              [](const Rec& x, const Rec& y) { return x.address < y.address; });
    std::vector<std::string> expected = {kRule, "Pavex[Error]:Found leak Pavex components. Count:3\n"};
    for (const Rec& rec : recs) expected.push_back(LeakLine(rec.id, rec.creator, rec.address));
    expected.push_back(kRule);
    EXPECT_EQ(r.debugStrings, expected) << mode;
  }
}

// The hex digits of a leak line's pointer field, up to its line end.
std::string PointerField(const std::string& line) {
  const std::string mark = "Pointer:0x";
  size_t start = line.find(mark);
  if (start == std::string::npos) return std::string();
  start += mark.size();
  size_t end = line.find('\n', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Hosts' log parsers read the pointer field as eight hex digits, which is
// what a 32-bit process prints; a 64-bit one pads to eight and may need more.
TEST(LeakReportUnderDebugger, PointerFieldIsEightHexDigitsIn32BitProcesses) {
  DebuggeeResult r = RunProbe("exit", {"114:1", "837:2"});
  ASSERT_TRUE(r.started);
  ASSERT_EQ(r.exitCode, 0u);
  int lines = 0;
  for (const std::string& s : r.debugStrings) {
    std::string field = PointerField(s);
    if (field.empty()) continue;
    ++lines;
    EXPECT_EQ(field.find_first_not_of("0123456789abcdef"), std::string::npos) << s;
    if (sizeof(void*) == 4) {
      EXPECT_EQ(field.size(), 8u) << s;
    } else {
      EXPECT_GE(field.size(), 8u) << s;
    }
  }
  EXPECT_EQ(lines, 2);
}

TEST(LeakReportUnderDebugger, NothingIsSentWithoutLiveComponents) {
  DebuggeeResult r = RunProbe("unload", {});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.debugStrings.empty()) << r.debugStrings.size() << " strings, first: "
                                      << (r.debugStrings.empty() ? "" : r.debugStrings[0]);
}

TEST(LeakReportUnderDebugger, FailedCreationSendsTwoStrings) {
  DebuggeeResult r = RunProbe("exit", {"999:4294967295"});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 4u) << "the probe stops when a creation fails";
  std::vector<std::string> expected = {
      "Pavex[Error]: Can't find the factory method of Component\n",
      "Pavex[Error]: ComponentID=999 CreatorID=4294967295"};
  EXPECT_EQ(r.debugStrings, expected);
}

}  // namespace
