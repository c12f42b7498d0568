// rodarove-host: loads the rodarove module the way the component framework
// does and drives it from a script or a prompt.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "host/host_platform.h"
#include "host/interpreter.h"
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

void ReportError(const std::string& where, const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: error: %s\n", where.c_str(), what.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath = rodarove_host::DefaultModulePath();
  std::string scriptPath;
  bool haveScript = false;
  bool interactive = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--module" || arg == "-m") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "rodarove-host: error: %s needs a path\n%s", arg.c_str(), kUsage);
        return 2;
      }
      modulePath = argv[++i];
    } else if (arg == "--interactive" || arg == "-i") {
      interactive = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("%s\n%s", kUsage, rodarove_host::Interpreter::HelpText().c_str());
      return 0;
    } else if (arg == "--version") {
      std::printf("rodarove-host %s\n", RODAROVE_VERSION_STRING);
      return 0;
    } else if ((arg.size() > 1 && arg[0] == '-') || haveScript) {
      std::fprintf(stderr, "rodarove-host: error: unexpected argument '%s'\n%s", arg.c_str(),
                   kUsage);
      return 2;
    } else {
      scriptPath = arg;
      haveScript = true;
    }
  }

  std::ifstream file;
  std::istream* input = &std::cin;
  std::string inputName = "stdin";
  if (haveScript && scriptPath != "-") {
    file.open(scriptPath, std::ios::binary);
    if (!file) {
      ReportError("rodarove-host", "cannot open script '" + scriptPath + "'");
      return 1;
    }
    input = &file;
    inputName = scriptPath;
  }
  const bool terminal = !haveScript && rodarove_host::InputIsTerminal();
  interactive = interactive || terminal;

  rodarove_host::RelayDebuggerOutput();
  rodarove_host::ModuleExports exports;
  std::string why;
  void* module = rodarove_host::LoadModule(modulePath, &exports, &why);
  if (module == nullptr) {
    ReportError("rodarove-host", "cannot load module '" + modulePath + "': " + why);
    return 1;
  }

  int status = 0;
  {
    rodarove_host::Interpreter interpreter(exports);
    interpreter.SetVariable("EXE_DIR", rodarove_host::ExecutableDirectory());
    interpreter.SetVariable("MODULE_DIR", rodarove_host::DirectoryOf(modulePath));
    interpreter.SetVariable("SCRIPT_DIR", haveScript && scriptPath != "-"
                                              ? rodarove_host::DirectoryOf(scriptPath)
                                              : ".");
#if defined(_WIN32)
    interpreter.SetVariable("LIB_PREFIX", "");
    interpreter.SetVariable("LIB_SUFFIX", ".dll");
#else
    interpreter.SetVariable("LIB_PREFIX", "lib");
    interpreter.SetVariable("LIB_SUFFIX", ".so");
#endif
    if (terminal) std::printf("rodarove-host: type 'help' for the commands, 'quit' to end.\n");
    std::string line;
    for (long number = 1;; ++number) {
      if (interactive) {
        std::printf("rodarove> ");
        std::fflush(stdout);
      }
      if (!std::getline(*input, line)) {
        if (interactive) std::printf("\n");
        break;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string error;
      rodarove_host::Interpreter::Status result = interpreter.Run(line, &error);
      if (result == rodarove_host::Interpreter::Status::kQuit) break;
      if (result == rodarove_host::Interpreter::Status::kError) {
        if (interactive) {
          ReportError("line " + std::to_string(number), error);
        } else {
          ReportError(inputName + ":" + std::to_string(number), error);
          status = 1;
          break;
        }
      }
    }
    interpreter.Flush();
  }
  // Unloading runs the module's detach routine: its leak report, if any,
  // comes last.
  std::fflush(stdout);
  rodarove_host::CloseLibrary(module);
  std::fflush(stderr);
  return status;
}
