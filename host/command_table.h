// The table of the host's commands: every command's words, the function
// that runs it, its help and the meanings of its results. Help, the manual
// page, the suggestions for a mistyped word and the prompt's completion all
// read this one table.
#ifndef RODAROVE_HOST_COMMAND_TABLE_H_
#define RODAROVE_HOST_COMMAND_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/session.h"
#include "rodarove/tree_container.h"

namespace rodarove_host {

// The most entries the host allocates for one buffer argument.
constexpr int64_t kMaxCapacity = int64_t{1} << 24;
// The argument count of commands that take the rest of the line.
constexpr size_t kAnyNumber = static_cast<size_t>(-1);
// The most nodes generate builds in one call.
constexpr int64_t kMaxGenerate = 50000000;

enum CommandFlags : unsigned {
  kListsEntries = 1,  // takes --all: shows every entry of its lists
  kExport = 2,        // calls one of the module's exports
};

// The groups of commands, in the order help shows them.
enum class Group { kComponents, kEdits, kLookups, kLists, kExports, kViews, kScripts, kSession };

// What a result means. A command's rows are tried in order; the first whose
// class and range match gives the words printed after the result (brief;
// none when null) and its line in 'help COMMAND'.
struct Meaning {
  int32_t componentId;  // 0: both classes
  int64_t low;
  int64_t high;
  const char* label;  // the value as help shows it
  const char* brief;
  const char* help;
};

constexpr int64_t kAnyLow = INT64_MIN;
constexpr int64_t kAnyHigh = INT64_MAX;

using CommandFn = bool (*)(Session&, const Args&, std::string*);

// A command of the language. slot is the slot it reaches, -1 for the others.
// The help texts may name the host's limits as {ID_LIMIT}, {ID_MAX},
// {MAX_GENERATE}, {LIST_LIMIT} and {PATH_BYTES}; help writes the numbers.
struct Command {
  const char* name;
  const char* args;
  size_t minArgs;
  size_t maxArgs;
  int slot;
  const char* call;  // the slot or export it calls, "" for the host's own
  Group group;
  const char* summary;  // its line in 'help all'; "" for an alias
  const char* details;  // what 'help COMMAND' says besides results and example
  const char* example;  // lines typed after "> ", each followed by its output
  unsigned flags;
  CommandFn run;
  std::vector<Meaning> results;

  std::string Usage() const { return std::string(name) + (*args ? " " : "") + args; }
};

// Every command, grouped in the order of Group.
const std::vector<Command>& Commands();
// The command named name, or null.
const Command* FindCommand(const std::string& name);
// What an error about the unknown command word adds: the commands nearest
// to it (one or two edits away, or beginning with it), as
// " (did you mean 'append'?)", or " (try 'help')" when none is near.
std::string SuggestionFor(const std::string& word);
// The heading of a group in help.
const char* GroupHeading(Group group);
// The help text with the host's limits written in.
std::string WithLimits(const char* text);

// The few words printed after a result of command c in the given class, or
// "" when the result needs none.
std::string BriefMeaning(const Command& c, int32_t componentId, int64_t value);

// The rows of the table, by file: the components and their slots, and the
// rest (exports, views, scripts, the session).
void AddSlotCommands(std::vector<Command>* table);
void AddHostCommands(std::vector<Command>* table);

// The commands' functions, by the file that holds them.
// slot_commands.cc
bool Create(Session&, const Args&, std::string*);
bool ComponentSlot(Session&, const Args&, std::string*);
bool Release(Session&, const Args&, std::string*);
bool NodeSlot(Session&, const Args&, std::string*);
bool LinkSlot(Session&, const Args&, std::string*);
bool ListSlot(Session&, const Args&, std::string*);
bool PairSlot(Session&, const Args&, std::string*);
bool GetRootSlot(Session&, const Args&, std::string*);
bool Registry(Session&, const Args&, std::string*);
// export_commands.cc
bool ComponentIds(Session&, const Args&, std::string*);
bool SetRegistry(Session&, const Args&, std::string*);
bool SetFactory(Session&, const Args&, std::string*);
bool CanUnload(Session&, const Args&, std::string*);
bool FreeMap(Session&, const Args&, std::string*);
bool SetDllSafe(Session&, const Args&, std::string*);
// view_commands.cc
bool List(Session&, const Args&, std::string*);
bool Show(Session&, const Args&, std::string*);
bool Dot(Session&, const Args&, std::string*);
bool Limit(Session&, const Args&, std::string*);
// script_commands.cc
bool Echo(Session&, const Args&, std::string*);
bool Time(Session&, const Args&, std::string*);
bool Generate(Session&, const Args&, std::string*);
bool AppendChildren(Session&, const Args&, std::string*);
bool Expect(Session&, const Args&, std::string*);
bool ExpectList(Session&, const Args&, std::string*);
// file_commands.cc
bool Source(Session&, const Args&, std::string*);
bool Save(Session&, const Args&, std::string*);
bool Load(Session&, const Args&, std::string*);
// help.cc
bool Help(Session&, const Args&, std::string*);
bool Quit(Session&, const Args&, std::string*);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_COMMAND_TABLE_H_
