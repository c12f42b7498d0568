// Help at the prompt and the manual page, both rendered from the command
// table.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/command_table.h"
#include "host/interpreter.h"
#include "rodarove/version.h"

namespace rodarove_host {

namespace {

// Help lines are wrapped to fit this many columns.
constexpr size_t kHelpWidth = 79;

// Appends text to out as lines of at most kHelpWidth columns, the first
// starting with first, the others with rest.
void Wrap(const std::string& first, const std::string& rest, const std::string& text,
          std::string* out) {
  std::string line = first;
  bool empty = true;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find(' ', i);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(i, end - i);
    i = end + 1;
    if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
      *out += line + "\n";
      line = rest;
      empty = true;
    }
    if (!empty) line += ' ';
    line += word;
    empty = false;
  }
  *out += line + "\n";
}

// What 'help COMMAND' says first: the details, or else the summary as a
// sentence, without the slot it names (the head line says it).
std::string About(const Command& c) {
  if (*c.details) return WithLimits(c.details);
  std::string about = WithLimits(c.summary);
  if (about.compare(0, 5, "slot ") == 0) about = about.substr(about.find(": ") + 2);
  about[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(about[0])));
  return about + ".";
}

// The command a name stands for: quit for its alias.
const Command* Canonical(const Command* c) {
  return c != nullptr && c->run == &Quit ? FindCommand("quit") : c;
}

// The example's lines: what is typed, and what the host answers.
struct ExampleLine {
  bool typed;
  std::string text;
};
std::vector<ExampleLine> ExampleLines(const Command& c) {
  std::vector<ExampleLine> lines;
  const std::string example = c.example;
  size_t at = 0;
  while (at < example.size()) {
    size_t end = example.find('\n', at);
    std::string line = example.substr(at, end - at);
    at = end + 1;
    const bool typed = line.compare(0, 2, "> ") == 0;
    lines.push_back({typed, typed ? line.substr(2) : line});
  }
  return lines;
}

// Every example runs where #1 m (114) and #2 a (837) hold the same tree.
const char kExampleSetting[] =
    "example (m: class 114, a: class 837; 1 has children 2 and 3, 2 has 4):";

const char kNotes[] =
    "IDs are 32-bit integers, decimal or 0x hexadecimal; 837 takes IDs 1 to\n"
    "{ID_MAX}. CAP is a buffer's capacity; null passes no buffer; without CAP\n"
    "the host counts first and passes a buffer that fits. Lists show their first\n"
    "{LIST_LIMIT} entries: add --all to a command, or see 'limit'.\n"
    "Words: \"...\" quotes a word with blanks; # starts a comment; ${EXE_DIR},\n"
    "${MODULE_DIR} and ${SCRIPT_DIR} stand for those directories, ${LIB_PREFIX}\n"
    "and ${LIB_SUFFIX} for the parts of a library's file name around its name.\n"
    "At a terminal, arrows edit and recall lines, kept between sessions, and Tab\n"
    "completes a command; Ctrl-C drops the line being typed, or stops generate,\n"
    "time or source between calls.\n";

}  // namespace

std::string Interpreter::HelpText() {
  std::string out =
      "Commands ('help COMMAND' explains one, with an example; 'help all' lists\n"
      "every one with what it does):\n";
  constexpr size_t kIndent = 14;
  for (size_t g = 0; g <= static_cast<size_t>(Group::kSession); ++g) {
    std::string names;
    for (const Command& c : Commands()) {
      if (static_cast<size_t>(c.group) != g || *c.summary == '\0') continue;
      names += (names.empty() ? "" : " ") + std::string(c.name);
    }
    std::string heading = std::string("  ") + GroupHeading(static_cast<Group>(g));
    heading.resize(kIndent, ' ');
    Wrap(heading, std::string(kIndent, ' '), names, &out);
  }
  out += WithLimits(
      "C is a component's name or number. IDs are 32-bit integers; 837 takes 1 to\n"
      "{ID_MAX}. A list query without CAP passes a buffer that fits.\n"
      "For instance: create map as m, set-root m 1, append m 2 1, show m.\n");
  return out;
}

std::string Interpreter::HelpAllText() {
  std::string out =
      "Commands (C is a component's name or number; 'help COMMAND' gives the slot,\n"
      "the arguments, what each result means, and an example):\n";
  int group = -1;
  for (const Command& c : Commands()) {
    if (*c.summary == '\0') continue;
    if (static_cast<int>(c.group) != group) {
      group = static_cast<int>(c.group);
      std::string heading = GroupHeading(c.group);
      heading[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])));
      out += heading + ":\n";
    }
    std::string left = "  " + c.Usage();
    if (left.size() < 36) {
      left.resize(36, ' ');
    } else {
      left += "  ";
    }
    out += left + WithLimits(c.summary) + "\n";
  }
  return out + WithLimits(kNotes);
}

bool Interpreter::CommandHelp(const std::string& name, std::string* text) {
  const Command* c = Canonical(FindCommand(name));
  if (c == nullptr) return false;
  std::string out;
  std::string head = c->Usage();
  if (c->slot >= 0) {
    head += "    slot " + std::to_string(c->slot) + ", " + c->call;
  } else if ((c->flags & kExport) != 0) {
    head += "    export " + std::string(c->call);
  }
  out += head + "\n";
  Wrap("  ", "  ", About(*c), &out);
  if (!c->results.empty()) out += "results:\n";
  for (const Meaning& m : c->results) {
    std::string label = std::string("  ") + m.label;
    if (m.componentId != 0) label += " (" + std::to_string(m.componentId) + ")";
    label.resize(std::max<size_t>(label.size() + 2, 12), ' ');
    Wrap(label, std::string(12, ' '), WithLimits(m.help), &out);
  }
  if (*c->example) {
    out += std::string(kExampleSetting) + "\n";
    for (const ExampleLine& line : ExampleLines(*c)) {
      out += (line.typed ? "  rodarove> " : "  ") + line.text + "\n";
    }
  }
  *text = out;
  return true;
}

std::vector<std::string> Interpreter::CommandNames() {
  std::vector<std::string> names;
  for (const Command& c : Commands()) names.push_back(c.name);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// text for troff: backslashes and hyphens escaped, and a line that would
// start with a control character made plain.
std::string Troff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

// A line of running text: one that starts with . or ' would be a request.
std::string TroffLine(const std::string& text) {
  std::string line = Troff(text);
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) line = "\\&" + line;
  return line + "\n";
}

// No hyphenation: the page is full of options and command words that a
// reader may copy.
const char kManHead[] =
    ".nh\n"
    ".SH NAME\n"
    "rodarove\\-host \\- load the rodarove module and drive it from a script or a prompt\n"
    ".SH SYNOPSIS\n"
    ".B rodarove\\-host\n"
    "[\\fB\\-\\-module\\fR \\fIPATH\\fR] [\\fB\\-\\-interactive\\fR] [\\fISCRIPT\\fR | "
    "\\fB\\-\\fR]\n"
    ".SH DESCRIPTION\n"
    ".B rodarove\\-host\n"
    "loads the rodarove component module with the platform's loader, reaches it only\n"
    "through its seven exports and the slot table of the components it makes, and\n"
    "runs a small command language, one command a line, from a script or at a prompt.\n"
    "Every result is printed with its meaning where it is not plainly \"done\".\n"
    ".PP\n"
    "In a script the run stops at the first error, naming the file and line, with\n"
    "exit status 1. At the prompt (standard input a terminal, or \\fB\\-\\-interactive\\fR)\n"
    "an error is shown with its line number and the session goes on; the arrow keys\n"
    "edit and recall lines, Tab completes a command, Ctrl\\-C drops the line being\n"
    "typed or stops a long command, and Ctrl\\-D ends the session.\n"
    ".SH OPTIONS\n"
    ".TP\n"
    "\\fB\\-\\-module\\fR \\fIPATH\\fR, \\fB\\-m\\fR \\fIPATH\\fR\n"
    "The module to load. The default is the one beside the program, else the one\n"
    "installed with it. A name without a directory is looked up on the library path;\n"
    "write \\fI./NAME\\fR for a file in the current directory.\n"
    ".TP\n"
    "\\fB\\-\\-interactive\\fR, \\fB\\-i\\fR\n"
    "Prompt mode: report errors and go on.\n"
    ".TP\n"
    "\\fB\\-\\-help\\fR, \\fB\\-h\\fR\n"
    "The usage and the commands by group.\n"
    ".TP\n"
    "\\fB\\-\\-version\\fR\n"
    "The rodarove version this program belongs to.\n"
    ".TP\n"
    "\\fISCRIPT\\fR\n"
    "The file of commands to run; \\fB\\-\\fR or none reads standard input.\n";

const char kManTail[] =
    ".SH EXIT STATUS\n"
    "0 when the session ends by quit or at the end of its input; 1 when a script\n"
    "fails, or the script or the module cannot be loaded; 2 for a wrong argument.\n"
    ".SH FILES\n"
    ".TP\n"
    ".I ~/.rodarove_history\n"
    "The lines typed at the prompt, kept between sessions.\n"
    ".SH EXAMPLES\n"
    ".nf\n"
    ".RS 4\n"
    "rodarove> create map as m\n"
    "#1 m = CreateComponent(114, 0)\n"
    "rodarove> set\\-root m 1\n"
    "m.SetRoot(1) = 1\n"
    "rodarove> parent m 9\n"
    "m.GetParent(9) = \\-1 (not a node)\n"
    ".RE\n"
    ".fi\n";

}  // namespace

std::string Interpreter::ManPage() {
  std::string out =
      ".TH RODAROVE\\-HOST 1 \"\" \"rodarove " RODAROVE_VERSION_STRING "\" \"User Commands\"\n";
  out += kManHead;
  out += ".SH COMMANDS\n";
  out += TroffLine(WithLimits(
      "C is a component's name (create ... as NAME) or the number the host gave it. "
      "IDs are 32-bit integers, decimal or 0x hexadecimal; 837 takes IDs 1 to {ID_MAX}. "
      "CAP is a buffer's capacity; null passes no buffer; without CAP the host counts "
      "first and passes a buffer that fits. Lists show their first {LIST_LIMIT} entries: "
      "add --all to a command, or see limit. A word in double quotes may hold blanks; # "
      "starts a comment; ${EXE_DIR}, ${MODULE_DIR} and ${SCRIPT_DIR} stand for those "
      "directories, ${LIB_PREFIX} and ${LIB_SUFFIX} for the parts of a library's file name "
      "around its name. Each example runs where m (class 114) and a (class 837) hold the "
      "same tree: 1 has children 2 and 3, and 2 has 4."));
  int group = -1;
  for (const Command& c : Commands()) {
    if (*c.summary == '\0') continue;
    if (static_cast<int>(c.group) != group) {
      group = static_cast<int>(c.group);
      std::string heading = GroupHeading(c.group);
      heading[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])));
      out += ".SS " + Troff(heading) + "\n";
    }
    out += ".TP\n\\fB" + Troff(c.name) + "\\fR" + (*c.args ? " " + Troff(c.args) : "") + "\n";
    if (c.slot >= 0) {
      out += TroffLine("Slot " + std::to_string(c.slot) + ", " + c.call + ".");
    } else if ((c.flags & kExport) != 0) {
      out += TroffLine("Export " + std::string(c.call) + ".");
    }
    out += TroffLine(About(c));
    if (!c.results.empty()) {
      out += ".RS\n.PP\nResults:\n";
      for (const Meaning& m : c.results) {
        std::string label = m.label;
        if (m.componentId != 0) label += " (" + std::to_string(m.componentId) + ")";
        out += ".TP 10\n" + TroffLine(label) + TroffLine(WithLimits(m.help));
      }
      out += ".RE\n";
    }
    if (*c.example) {
      out += ".IP\nExample:\n.nf\n";
      for (const ExampleLine& line : ExampleLines(c)) {
        out += TroffLine((line.typed ? "rodarove> " : "") + line.text);
      }
      out += ".fi\n";
    }
  }
  out += kManTail;
  return out;
}

bool Help(Session& session, const Args& args, std::string* error) {
  if (args.empty()) {
    session.Print(Interpreter::HelpText());
    return true;
  }
  if (args[0].text == "all" && !args[0].quoted) {
    session.Print(Interpreter::HelpAllText());
    return true;
  }
  std::string text;
  if (!Interpreter::CommandHelp(args[0].text, &text)) {
    *error = "no command '" + ShortWord(args[0].text) + "'" + SuggestionFor(args[0].text);
    return false;
  }
  session.Print(text);
  return true;
}

bool Quit(Session&, const Args&, std::string*) { return true; }

}  // namespace rodarove_host
