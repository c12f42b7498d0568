// The host's command language: one command a line, each naming a slot of a
// component, an export of the module, a view of a tree, or a step of a
// script.
//
// The interpreter reaches the module only through the seven exports it was
// given and through the components' slot tables. Everything it prints goes
// to standard output, flushed before every call that may make the module
// write to the debugger output, so both stay in order on one stream. It
// never reads standard input and never ends the process: a program (or a
// test) feeds it lines and decides what to do with each status.
//
// Files by area: language.cc reads words and numbers; interpreter.cc runs
// lines and holds the components; command_table.cc is the table of commands
// with their help and the meanings of results; slot_commands.cc,
// export_commands.cc, view_commands.cc and script_commands.cc are the
// commands themselves.
#ifndef RODAROVE_HOST_INTERPRETER_H_
#define RODAROVE_HOST_INTERPRETER_H_

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

class Interpreter {
 public:
  enum class Status { kOk, kError, kQuit };

  explicit Interpreter(const ModuleExports& exports);
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // Runs one line. On kError, *error says what was wrong with the line; the
  // caller adds where it was. kQuit: the line asked to end the session.
  Status Run(const std::string& line, std::string* error);

  // Writes what is pending to standard output.
  void Flush();

  // Defines ${name} for the words of later lines.
  void SetVariable(const std::string& name, const std::string& value);

  // Releases every component still held (restoring dll-safe 1 first, since
  // Release does nothing without it) and returns how many; prints nothing.
  // For programs that run the interpreter in process and must leave no
  // component behind.
  int ReleaseAll();

  // The text of 'help': every command on one line of at most 79 columns.
  static std::string HelpText();
  // The text of 'help COMMAND'; false when there is no such command.
  static bool CommandHelp(const std::string& name, std::string* text);

 private:
  struct Component {
    int number;
    std::string name;
    int32_t componentId;
    uint32_t creatorId;
    ITreeComponent* object;
  };
  struct Command;
  using Args = std::vector<Token>;

  // What a command answered, for 'expect' and 'expect-list'.
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

  static const std::vector<Command>& Commands();
  static const Command* FindCommand(const std::string& name);
  // The few words printed after a result, or "" when the result needs none.
  static std::string BriefMeaning(const std::string& call, int32_t componentId, int64_t value);

  // Reads a line's words and runs it; Run adds what a whole line needs.
  Status RunLine(const std::string& line, std::string* error);
  Status Execute(const std::vector<Token>& tokens, std::string* error);
  // Runs the lines of a file as if typed here; errors name the file's line.
  bool RunFile(const std::string& path, std::string* error);

  // Argument readers: each returns false with *error set.
  bool ReadInt32(const Token& token, const char* what, int32_t* value, std::string* error);
  bool ReadUint32(const Token& token, const char* what, uint32_t* value, std::string* error);
  bool ReadComponent(const Token& token, Component** component, std::string* error);
  // Optional buffer argument of the list queries: a capacity, or null.
  bool ReadBuffer(const Args& args, size_t index, bool* isNull, int32_t* capacity,
                  std::string* error);

  void Print(const std::string& text);
  std::string Label(const Component& c) const;
  // True once Ctrl-C asked the running command to stop.
  bool Interrupted() const;

  // Prints "HEAD = VALUE (MEANING): ENTRIES" and records the answer; entries
  // is null for a call that writes none. Long entry lists show their first
  // limit_ entries unless --all was given.
  void PrintAnswer(const std::string& head, int64_t value, const std::string& meaning,
                   const Entries* entries = nullptr);
  // Forgets the component (its Release has run) and remembers it was released.
  void Forget(int number);

  // Commands: help, echo and the scripting ones (script_commands.cc).
  bool Help(const Args&, std::string*);
  bool Echo(const Args&, std::string*);
  bool Quit(const Args&, std::string*);
  bool Time(const Args&, std::string*);
  bool Generate(const Args&, std::string*);
  bool AppendChildren(const Args&, std::string*);
  bool Expect(const Args&, std::string*);
  bool ExpectList(const Args&, std::string*);
  bool Source(const Args&, std::string*);
  bool Save(const Args&, std::string*);
  bool Load(const Args&, std::string*);
  bool Limit(const Args&, std::string*);
  // Views (view_commands.cc).
  bool List(const Args&, std::string*);
  bool Show(const Args&, std::string*);
  bool Dot(const Args&, std::string*);
  // Slots (slot_commands.cc).
  bool Create(const Args&, std::string*);
  bool ComponentSlot(const Args&, std::string*);
  bool Release(const Args&, std::string*);
  bool NodeSlot(const Args&, std::string*);
  bool LinkSlot(const Args&, std::string*);
  bool ListSlot(const Args&, std::string*);
  bool PairSlot(const Args&, std::string*);
  bool GetRootSlot(const Args&, std::string*);
  bool Registry(const Args&, std::string*);
  // Exports (export_commands.cc).
  bool ComponentIds(const Args&, std::string*);
  bool SetRegistry(const Args&, std::string*);
  bool SetFactory(const Args&, std::string*);
  bool CanUnload(const Args&, std::string*);
  bool FreeMap(const Args&, std::string*);
  bool SetDllSafe(const Args&, std::string*);
  // The registered classes, as "114, 837".
  std::string RegisteredClasses();

  ModuleExports exports_;
  std::map<int, Component> components_;  // by number
  std::set<int> releasedNumbers_;
  std::set<std::string> releasedNames_;
  int nextNumber_ = 1;
  int32_t dllSafe_ = 1;  // the last value given to PavexSetDllSafe
  std::string pending_;
  int quiet_ = 0;  // while above 0, Print drops its text
  const Command* current_ = nullptr;
  std::string rawLine_;  // the line being run, for echo
  std::map<std::string, std::string> variables_;
  Answer answer_;
  bool collectEntries_ = false;  // expect-list wants every entry
  bool expecting_ = false;       // under expect: a null create is an answer
  bool showAll_ = false;         // --all on the running command
  int64_t limit_ = 64;           // entries a list shows; negative: all
  bool quit_ = false;
  bool locatedError_ = false;    // the error names the file line it came from
  int depth_ = 0;                // files being run by source or load
  // While load runs a file: the name its component gets, the name the file
  // gave it, and whether it has been made.
  std::string loadName_;
  std::string loadAlias_;
  bool loadMade_ = false;
};

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_INTERPRETER_H_
