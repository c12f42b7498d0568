#include "tests/host/host_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/module_loader.h"

namespace rodarove_test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args, std::vector<std::string>* store) {
  store->clear();
  store->push_back(RODAROVE_HOST_PATH);
  store->insert(store->end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : *store) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  return argv;
}

// Reads fd until end of file or until the deadline; kills pid on timeout.
std::string Drain(int fd, pid_t pid) {
  std::string out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buf[65536];
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      out += "\n[timed out]\n";
      break;
    }
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a pty answers EIO once the child is gone
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at)) {
    text->replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

HostResult RunHost(const std::vector<std::string>& args, const std::string& input,
                   const std::string& cwd) {
  return RunHostAt(RODAROVE_HOST_PATH, args, input, cwd);
}

HostResult RunHostAt(const std::string& host, const std::vector<std::string>& args,
                     const std::string& input, const std::string& cwd) {
  HostResult result;
  std::string inputDir = MakeTempDir();
  std::string inputPath = inputDir + "/stdin.txt";
  WriteFile(inputPath, input);
  int out[2];
  if (pipe(out) != 0) return result;
  std::vector<std::string> store;
  std::vector<char*> argv = Argv(args, &store);
  store[0] = host;
  argv[0] = &store[0][0];
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(inputPath.c_str(), O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  result.output = Drain(out[0], pid);
  close(out[0]);
  result.status = Wait(pid);
  unlink(inputPath.c_str());
  rmdir(inputDir.c_str());
  return result;
}

HostResult RunHostOnTerminal(const std::vector<std::string>& args, const std::string& input) {
  HostResult result;
  std::vector<std::string> store;
  std::vector<char*> argv = Argv(args, &store);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return result;
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  // The terminal keeps typed lines until the program reads them.
  WriteAll(master, input);
  result.output = Drain(master, pid);
  close(master);
  result.status = Wait(pid);
  return result;
}

TerminalSession::TerminalSession(const std::string& host, const std::string& home) {
  pid_t pid = forkpty(&master_, nullptr, nullptr, nullptr);
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("TERM", "xterm", 1);
    execl(host.c_str(), host.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_ = pid;
}

TerminalSession::~TerminalSession() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait(pid_);
  }
  if (master_ >= 0) close(master_);
}

void TerminalSession::Type(const std::string& keys) { WriteAll(master_, keys); }

bool TerminalSession::WaitFor(const std::string& text) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  size_t start = consumed_;
  while (true) {
    std::string shown = Output();
    size_t at = shown.find(text, start);
    if (at != std::string::npos) {
      consumed_ = at + text.size();
      last_ = shown.substr(start, consumed_ - start);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      last_ = shown.substr(start);
      return false;
    }
    pollfd p{master_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r <= 0) continue;
    char buf[4096];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      last_ = shown.substr(start);
      return false;
    }
    output_.append(buf, static_cast<size_t>(n));
  }
}

int TerminalSession::Finish() {
  output_ += Drain(master_, pid_);
  int status = Wait(pid_);
  pid_ = -1;
  return status;
}

std::string TerminalSession::Output() const {
  std::string out = output_;
  ReplaceAll(&out, "\r\n", "\n");
  return out;
}

std::string Normalize(const std::string& output) {
  std::string text = output;
  std::string dir = BuiltModulePath();
  dir = dir.substr(0, dir.find_last_of('/'));
  char real[PATH_MAX];
  if (realpath(dir.c_str(), real) != nullptr) ReplaceAll(&text, real, "${MODULE_DIR}");
  ReplaceAll(&text, dir, "${MODULE_DIR}");
  const std::string mark = "Pointer:0x";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
    at += mark.size();
    size_t end = at;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
    text.replace(at, end - at, "<address>");
  }
  return text;
}

std::string CompareWithFile(const std::string& got, const std::string& path) {
  const char* update = std::getenv("RODAROVE_UPDATE_EXPECTED");
  if (update != nullptr && std::string(update) == "1") {
    WriteFile(path, got);
    return "";
  }
  std::string want;
  if (!ReadFile(path, &want)) return "cannot read " + path;
  if (got == want) return "";
  // Point at the first line that differs.
  std::istringstream g(got), w(want);
  std::string gl, wl;
  int line = 1;
  while (std::getline(g, gl) && std::getline(w, wl) && gl == wl) ++line;
  return "line " + std::to_string(line) + " differs\n  expected: " + wl + "\n  got:      " + gl +
         "\nwhole output:\n" + got;
}

std::string MakeTempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/rodarove-host-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) return "/tmp";
  return buf.data();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream s;
  s << file.rdbuf();
  *text = s.str();
  return true;
}

}  // namespace rodarove_test
