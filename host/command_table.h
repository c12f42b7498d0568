// The table of commands, shared by the files that implement them.
#ifndef RODAROVE_HOST_COMMAND_TABLE_H_
#define RODAROVE_HOST_COMMAND_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/interpreter.h"

namespace rodarove_host {

// The most entries the host allocates for one buffer argument.
constexpr int64_t kMaxCapacity = int64_t{1} << 24;
// The argument count of commands that take the rest of the line.
constexpr size_t kAnyNumber = static_cast<size_t>(-1);
// The first ID the array class refuses: its slot array cannot hold it.
constexpr int64_t kArrayIdLimit = 178956000;

enum CommandFlags : unsigned {
  kListsEntries = 1,  // takes --all: shows every entry of its lists
  kExport = 2,        // calls one of the module's exports
};

// A command of the language. slot is the slot it reaches, -1 for the others.
struct Interpreter::Command {
  const char* name;
  const char* args;
  size_t minArgs;
  size_t maxArgs;
  int slot;
  const char* call;     // the slot or export it calls, "" for the host's own
  const char* summary;  // its line in 'help'
  const char* details;  // what 'help COMMAND' says besides results and example
  const char* example;  // lines typed after "> ", each followed by its output
  unsigned flags;
  bool (Interpreter::*run)(const Args&, std::string*);

  std::string Usage() const { return std::string(name) + (*args ? " " : "") + args; }
};

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_COMMAND_TABLE_H_
