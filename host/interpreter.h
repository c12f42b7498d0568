// The host's command language: one command a line, each naming a slot of a
// component, an export of the module, or a view of a tree.
//
// The interpreter reaches the module only through the seven exports it was
// given and through the components' slot tables. Everything it prints goes
// to standard output, flushed before every call that may make the module
// write to the debugger output, so both stay in order on one stream.
#ifndef RODAROVE_HOST_INTERPRETER_H_
#define RODAROVE_HOST_INTERPRETER_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rodarove/tree_container.h"

namespace rodarove_host {

struct ModuleExports {
  IComponent* (*CreateComponent)(int32_t, uint32_t) = nullptr;
  int32_t (*GetComponentIDs)(int32_t*, uint32_t) = nullptr;
  int32_t (*SetDLLRegistry)(const char*) = nullptr;
  void* (*SetFactoryHandle)(void*) = nullptr;
  int32_t (*PavexDllCanUnloadNow)() = nullptr;
  void (*PavexDllFreeMap)() = nullptr;
  int32_t (*PavexSetDllSafe)(int32_t) = nullptr;
};

// Loads the module at path and finds its seven exports. Returns the
// library, or null with *error saying why.
void* LoadModule(const std::string& path, ModuleExports* exports, std::string* error);

struct Token {
  std::string text;  // with ${NAME} expanded
  std::string raw;   // as written, for what the host prints
  bool quoted = false;
};

// Splits a line into words. A double-quoted word may hold blanks and the
// escapes \" and \\; a word starting with # begins a comment.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error);

class Interpreter {
 public:
  enum class Status { kOk, kError, kQuit };

  explicit Interpreter(const ModuleExports& exports);
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // Runs one line. On kError, *error says what was wrong with the line; the
  // caller adds where it was.
  Status Run(const std::string& line, std::string* error);

  // Writes what is pending to standard output.
  void Flush();

  // Defines ${name} for the words of later lines.
  void SetVariable(const std::string& name, const std::string& value);

  // The text of the help command.
  static std::string HelpText();

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

  static const std::vector<Command>& Commands();

  // Argument readers: each returns false with *error set.
  bool ReadInt32(const Token& token, const char* what, int32_t* value, std::string* error);
  bool ReadUint32(const Token& token, const char* what, uint32_t* value, std::string* error);
  bool ReadComponent(const Token& token, Component** component, std::string* error);
  // Optional buffer argument of the list queries: a capacity, or null.
  bool ReadBuffer(const Args& args, size_t index, bool* isNull, int32_t* capacity,
                  std::string* error);

  Status Execute(const std::vector<Token>& tokens, std::string* error);
  std::string Expand(const std::string& text) const;

  void Print(const std::string& text);
  std::string Label(const Component& c) const;

  // Commands.
  bool Help(const Args&, std::string*);
  bool Echo(const Args&, std::string*);
  bool Quit(const Args&, std::string*);
  bool Create(const Args&, std::string*);
  bool List(const Args&, std::string*);
  bool Show(const Args&, std::string*);
  bool Dot(const Args&, std::string*);
  bool Generate(const Args&, std::string*);
  bool Time(const Args&, std::string*);
  bool ComponentSlot(const Args&, std::string*);
  bool Release(const Args&, std::string*);
  bool NodeSlot(const Args&, std::string*);
  bool LinkSlot(const Args&, std::string*);
  bool ListSlot(const Args&, std::string*);
  bool PairSlot(const Args&, std::string*);
  bool GetRootSlot(const Args&, std::string*);
  bool NodesAtDepth(const Args&, std::string*);
  bool Registry(const Args&, std::string*);
  bool ComponentIds(const Args&, std::string*);
  bool SetRegistry(const Args&, std::string*);
  bool SetFactory(const Args&, std::string*);
  bool CanUnload(const Args&, std::string*);
  bool FreeMap(const Args&, std::string*);
  bool SetDllSafe(const Args&, std::string*);

  ModuleExports exports_;
  std::map<int, Component> components_;  // by number
  int nextNumber_ = 1;
  int32_t dllSafe_ = 1;  // the last value given to PavexSetDllSafe
  std::string pending_;
  const Command* current_ = nullptr;
  std::string rawLine_;  // the line being run, for echo
  std::map<std::string, std::string> variables_;
};

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_INTERPRETER_H_
