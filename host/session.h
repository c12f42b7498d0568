// The state of one host session, which every command receives: the module's
// exports, the components made, the settings, the output not yet written,
// and the mode the running command runs in.
//
// Everything printed goes to standard output, flushed before every call
// that may make the module write to the debugger output, so both stay in
// order on one stream.
#ifndef RODAROVE_HOST_SESSION_H_
#define RODAROVE_HOST_SESSION_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/language.h"
#include "host/module_exports.h"
#include "rodarove/tree_container.h"

namespace rodarove_host {

struct Command;
using Args = std::vector<Token>;

// The entries a list shows until the limit command changes it.
constexpr int64_t kListLimit = 64;

struct Component {
  int number;
  std::string name;
  int32_t componentId;
  uint32_t creatorId;
  ITreeComponent* object;
};

// What a command answered, for expect and expect-list.
struct Answer {
  enum Kind { kNone, kNumber, kNull, kComponent } kind = kNone;
  int64_t value = 0;
  std::string meaning;  // the words printed after the value
  bool hasEntries = false;
  std::string entries;  // every entry, however many the line shows
};

// The entries of an answer: an optional lead ("root 1", or the one ID a
// lookup wrote), then count entries given by at(i).
struct Entries {
  std::string lead;
  size_t count = 0;
  std::function<std::string(size_t)> at;
};

// A file that load runs: the name its component gets, the name the file
// gave it, and whether it has been made.
struct LoadTarget {
  std::string name;
  std::string alias;
  bool made = false;
};

// How a command runs. The commands that run others (expect, expect-list,
// time, source, load) run them under a mode of their own; Execute restores
// the mode before when the command returns, whatever happened.
struct Mode {
  const Command* command = nullptr;  // the command running
  bool showAll = false;              // --all: lists show every entry
  bool quiet = false;                // Print drops its text
  bool expecting = false;            // under expect: a null create is an answer
  bool collectEntries = false;       // expect-list wants every entry
  LoadTarget* load = nullptr;        // set while load runs a file
};

class Session {
 public:
  enum class Status { kOk, kError, kQuit };

  explicit Session(const ModuleExports& exports);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs a line typed or read at the top level. On kError, *error says what
  // was wrong; the caller adds where it was.
  Status RunTopLine(const std::string& line, std::string* error);
  // Reads a line's words and runs them under the present mode.
  Status RunLine(const std::string& line, std::string* error);
  // Runs a command's words under mode.
  Status Execute(const Mode& mode, const Args& tokens, std::string* error);
  // Runs the lines of a file under mode as if typed here; errors name the
  // file's line.
  bool RunFile(const Mode& mode, const std::string& path, std::string* error);
  const Mode& mode() const { return mode_; }

  // Output. Print keeps text until Flush writes it; in a quiet mode it
  // drops it.
  void Print(const std::string& text);
  void Flush();
  // Prints "HEAD = VALUE (MEANING): ENTRIES" and records the answer; entries
  // is null for a call that writes none. Long entry lists show their first
  // Shown(count) entries.
  void PrintAnswer(const std::string& head, int64_t value, const std::string& meaning,
                   const Entries* entries = nullptr);
  // How many of count entries a list shows.
  size_t Shown(size_t count) const;
  // What the running command answered; Execute empties it first.
  Answer& answer() { return answer_; }

  // Argument readers: each returns false with *error set.
  bool ReadInt32(const Token& token, const char* what, int32_t* value, std::string* error);
  bool ReadUint32(const Token& token, const char* what, uint32_t* value, std::string* error);
  bool ReadComponent(const Token& token, Component** component, std::string* error);
  // The optional buffer argument of the list queries: a capacity, or null.
  bool ReadBuffer(const Token& token, bool* isNull, int32_t* capacity, std::string* error);

  // Components, by number.
  const std::map<int, Component>& components() const { return components_; }
  Component* FindByName(const std::string& name);
  Component& Add(const std::string& name, int32_t componentId, uint32_t creatorId,
                 ITreeComponent* object);
  // Forgets the component (its Release has run) and remembers it was released.
  void Forget(int number);
  // Releases every component still held (restoring dll-safe 1 first, since
  // Release does nothing without it) and returns how many; prints nothing.
  int ReleaseAll();
  std::string Label(const Component& c) const;

  // The module and what the host last told it.
  const ModuleExports& exports() const { return exports_; }
  int32_t dllSafe() const { return dllSafe_; }
  void set_dllSafe(int32_t value) { dllSafe_ = value; }
  // The registered classes, as "114, 837".
  std::string RegisteredClasses();

  // Entries a list shows; negative: all.
  int64_t limit() const { return limit_; }
  void set_limit(int64_t value) { limit_ = value; }
  // The line being run as written, for echo.
  const std::string& rawLine() const { return rawLine_; }
  void SetVariable(const std::string& name, const std::string& value);
  // True once Ctrl-C asked the running command to stop.
  bool Interrupted() const;

 private:
  Status ExecuteCommand(const Args& tokens, std::string* error);

  ModuleExports exports_;
  std::map<int, Component> components_;
  std::set<int> releasedNumbers_;
  std::set<std::string> releasedNames_;
  int nextNumber_ = 1;
  int32_t dllSafe_ = 1;  // the last value given to PavexSetDllSafe
  int64_t limit_ = kListLimit;
  std::string pending_;
  std::string rawLine_;
  std::map<std::string, std::string> variables_;
  Mode mode_;
  Answer answer_;
  int depth_ = 0;              // files being run by source or load
  bool quit_ = false;          // a file asked to end the session
  bool locatedError_ = false;  // the error names the file line it came from
};

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_SESSION_H_
