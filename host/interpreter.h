// The host's command language: one command a line, each naming a slot of a
// component, an export of the module, a view of a tree, or a step of a
// script.
//
// The interpreter reaches the module only through the seven exports it was
// given and through the components' slot tables. It never reads standard
// input and never ends the process: a program (or a test, or a fuzzer)
// feeds it lines and decides what to do with each status.
//
// Files by area: language.cc reads words and numbers; session.cc holds the
// session's state and runs lines and files; command_table.cc finds commands
// in the table, whose rows are in slot_table.cc and host_table.cc; help.cc
// renders help and the manual page from it; slot_commands.cc,
// export_commands.cc, view_commands.cc, script_commands.cc and
// file_commands.cc are the commands themselves.
#ifndef RODAROVE_HOST_INTERPRETER_H_
#define RODAROVE_HOST_INTERPRETER_H_

#include <string>
#include <vector>

#include "host/module_exports.h"
#include "host/session.h"

namespace rodarove_host {

class Interpreter {
 public:
  using Status = Session::Status;

  explicit Interpreter(const ModuleExports& exports) : session_(exports) {}

  // Runs one line. On kError, *error says what was wrong with the line; the
  // caller adds where it was. kQuit: the line asked to end the session.
  Status Run(const std::string& line, std::string* error) {
    return session_.RunTopLine(line, error);
  }

  // Writes what is pending to standard output.
  void Flush() { session_.Flush(); }

  // Defines ${name} for the words of later lines.
  void SetVariable(const std::string& name, const std::string& value) {
    session_.SetVariable(name, value);
  }

  // Releases every component still held (restoring dll-safe 1 first, since
  // Release does nothing without it) and returns how many; prints nothing.
  // For programs that run the interpreter in process and must leave no
  // component behind.
  int ReleaseAll() { return session_.ReleaseAll(); }

  // The text of 'help': the commands by group, on one screen.
  static std::string HelpText();
  // The text of 'help all': every command on a line of at most 79 columns.
  static std::string HelpAllText();
  // The text of 'help COMMAND'; false when there is no such command.
  static bool CommandHelp(const std::string& name, std::string* text);
  // The manual page rodarove-host(1), in troff with the man macros.
  static std::string ManPage();
  // The names of the commands, for completion at the prompt.
  static std::vector<std::string> CommandNames();

 private:
  Session session_;
};

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_INTERPRETER_H_
