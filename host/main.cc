// rodarove-host: loads the rodarove module the way the component framework
// does and drives it from a script or a prompt. This file reads the
// program's arguments, loads the module and feeds the interpreter lines.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/host_platform.h"
#include "host/interpreter.h"
#include "host/line_reader.h"
#include "host/module_exports.h"
#include "rodarove/version.h"

// Components left live at the end are reported by the module and never
// freed, by design; in sanitizer builds, leak checking would flag exactly
// that, so it is off for this program.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

const char kUsage[] =
    "usage: rodarove-host [--module PATH] [--interactive] [SCRIPT | -]\n"
    "  Runs the commands of SCRIPT (or of standard input) against the module;\n"
    "  a prompt is shown when standard input is a terminal and no SCRIPT is given.\n"
    "  --module PATH    the module to load (default: the one beside this program,\n"
    "                   else the one installed with it)\n"
    "  --interactive    prompt mode: report errors and go on (also: -i)\n"
    "  --help           this text and the command list (also: -h)\n"
    "  --version        the rodarove version this program belongs to\n";

const char kPrompt[] = "rodarove> ";
// The history file in the user's home directory.
const char kHistoryFile[] = ".rodarove_history";

void ReportError(const std::string& where, const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: error: %s\n", where.c_str(), what.c_str());
  std::fflush(stderr);
}

struct Options {
  std::string modulePath;
  std::string scriptPath;
  bool haveScript = false;
  bool interactive = false;
};

// Reads the arguments into *options. Returns -1 to go on, or the status
// the program ends with.
int ParseArguments(int argc, char** argv, Options* options) {
  options->modulePath = rodarove_host::DefaultModulePath();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--module" || arg == "-m") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "rodarove-host: error: %s needs a path\n%s", arg.c_str(), kUsage);
        return 2;
      }
      options->modulePath = argv[++i];
    } else if (arg == "--interactive" || arg == "-i") {
      options->interactive = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("%s\n%s", kUsage, rodarove_host::Interpreter::HelpText().c_str());
      return 0;
    } else if (arg == "--man-page") {
      // Not in the usage: the build writes the manual page (troff) with it.
      std::fputs(rodarove_host::Interpreter::ManPage().c_str(), stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("rodarove-host %s\n", RODAROVE_VERSION_STRING);
      return 0;
    } else if ((arg.size() > 1 && arg[0] == '-') || options->haveScript) {
      std::fprintf(stderr, "rodarove-host: error: unexpected argument '%s'\n%s", arg.c_str(),
                   kUsage);
      return 2;
    } else {
      options->scriptPath = arg;
      options->haveScript = true;
    }
  }
  return -1;
}

std::string HistoryPath() {
#if defined(_WIN32)
  return "";  // the console keeps its own history
#else
  std::string home = rodarove_host::HomeDirectory();
  return home.empty() ? "" : home + "/" + kHistoryFile;
#endif
}

void SetVariables(const Options& options, rodarove_host::Interpreter* interpreter) {
  interpreter->SetVariable("EXE_DIR", rodarove_host::ExecutableDirectory());
  interpreter->SetVariable("MODULE_DIR", rodarove_host::DirectoryOf(options.modulePath));
  interpreter->SetVariable("SCRIPT_DIR", options.haveScript && options.scriptPath != "-"
                                             ? rodarove_host::DirectoryOf(options.scriptPath)
                                             : ".");
#if defined(_WIN32)
  interpreter->SetVariable("LIB_PREFIX", "");
  interpreter->SetVariable("LIB_SUFFIX", ".dll");
#else
  interpreter->SetVariable("LIB_PREFIX", "lib");
  interpreter->SetVariable("LIB_SUFFIX", ".so");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using rodarove_host::Interpreter;
  using rodarove_host::LineReader;
  Options options;
  int parsed = ParseArguments(argc, argv, &options);
  if (parsed >= 0) return parsed;

  std::FILE* input = stdin;
  std::string inputName = "stdin";
  if (options.haveScript && options.scriptPath != "-") {
    input = std::fopen(options.scriptPath.c_str(), "rb");
    if (input == nullptr) {
      ReportError("rodarove-host", "cannot open script '" + options.scriptPath + "'");
      return 1;
    }
    inputName = options.scriptPath;
  }
  const bool terminal = !options.haveScript && rodarove_host::InputIsTerminal();
  const bool interactive = options.interactive || terminal;

  rodarove_host::RelayDebuggerOutput();
  rodarove_host::ModuleExports exports;
  std::string why;
  void* module = rodarove_host::LoadModule(options.modulePath, &exports, &why);
  if (module == nullptr) {
    ReportError("rodarove-host", "cannot load module '" + options.modulePath + "': " + why);
    return 1;
  }

  int status = 0;
  {
    Interpreter interpreter(exports);
    SetVariables(options, &interpreter);
    std::unique_ptr<LineReader> reader;
    if (terminal) {
      // Ctrl-C drops the line being typed or stops a long command; it never
      // ends the session, so no component is lost to it.
      rodarove_host::CatchInterrupts();
      reader =
          rodarove_host::NewTerminalReader(kPrompt, HistoryPath(), Interpreter::CommandNames());
      std::printf("rodarove-host: type 'help' for the commands, 'quit' to end.\n");
    } else {
      reader = rodarove_host::NewStreamReader(input, interactive ? kPrompt : "");
    }
    std::string line;
    for (long number = 1;;) {
      LineReader::Result read = reader->Read(&line);
      if (read == LineReader::Result::kEnd) break;
      rodarove_host::ClearInterrupt();
      if (read == LineReader::Result::kInterrupted) continue;
      std::string error;
      Interpreter::Status result = interpreter.Run(line, &error);
      // A Ctrl-C the command saw (or missed) is spent with it.
      rodarove_host::ClearInterrupt();
      if (result == Interpreter::Status::kQuit) break;
      if (result == Interpreter::Status::kError) {
        if (interactive) {
          ReportError("line " + std::to_string(number), error);
        } else {
          ReportError(inputName + ":" + std::to_string(number), error);
          status = 1;
          break;
        }
      }
      ++number;
    }
    interpreter.Flush();
    // The history is written when the reader goes, before the module does.
    reader.reset();
  }
  if (input != stdin) std::fclose(input);
  // Unloading runs the module's detach routine: its leak report, if any,
  // comes last.
  std::fflush(stdout);
  rodarove_host::CloseLibrary(module);
  std::fflush(stderr);
  return status;
}
