#include "host/interpreter.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <exception>
#include <new>

#include "host/host_platform.h"
#include "host/tree_view.h"

namespace rodarove_host {

namespace {

// The most entries the host allocates for one buffer argument.
constexpr int64_t kMaxCapacity = int64_t{1} << 24;
// The argument count of commands that take the rest of the line.
constexpr size_t kAnyNumber = static_cast<size_t>(-1);
// The most nodes generate builds in one call.
constexpr int64_t kMaxGenerate = 50000000;

template <typename Fn>
bool Find(void* library, const char* name, Fn* out, std::string* missing) {
  *out = reinterpret_cast<Fn>(LibrarySymbol(library, name));
  if (*out == nullptr) {
    if (!missing->empty()) *missing += ", ";
    *missing += name;
  }
  return *out != nullptr;
}

// Parses an optionally signed decimal or 0x-hexadecimal integer; false when
// text is not one. Values too large for 64 bits saturate, so that callers
// can report them as out of range.
bool ParseInteger(const std::string& text, int64_t* value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  uint64_t v = 0;
  const uint64_t cap = uint64_t{1} << 62;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (v < cap) v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (v > cap) v = cap;
  *value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool IsName(const std::string& text) {
  if (text.empty()) return false;
  char first = text[0];
  if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_')) {
    return false;
  }
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string Join(const std::vector<int32_t>& values, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out += ' ';
    out += std::to_string(values[i]);
  }
  return out;
}

}  // namespace

void* LoadModule(const std::string& path, ModuleExports* e, std::string* error) {
  void* library = OpenLibrary(path, error);
  if (library == nullptr) return nullptr;
  std::string missing;
  Find(library, "CreateComponent", &e->CreateComponent, &missing);
  Find(library, "GetComponentIDs", &e->GetComponentIDs, &missing);
  Find(library, "SetDLLRegistry", &e->SetDLLRegistry, &missing);
  Find(library, "SetFactoryHandle", &e->SetFactoryHandle, &missing);
  Find(library, "PavexDllCanUnloadNow", &e->PavexDllCanUnloadNow, &missing);
  Find(library, "PavexDllFreeMap", &e->PavexDllFreeMap, &missing);
  Find(library, "PavexSetDllSafe", &e->PavexSetDllSafe, &missing);
  if (!missing.empty()) {
    *error = "it does not export " + missing;
    CloseLibrary(library);
    return nullptr;
  }
  return library;
}

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i == n || line[i] == '#') return true;
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < n) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) c = line[i++];
        token.text += c;
      }
      if (!closed) {
        *error = "unterminated quoted text";
        return false;
      }
    } else {
      while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') token.text += line[i++];
    }
    tokens->push_back(token);
  }
}

// A command of the language. slot is the slot or export it reaches, -1 for
// the host's own commands.
struct Interpreter::Command {
  const char* name;
  const char* args;
  size_t minArgs;
  size_t maxArgs;
  int slot;
  const char* call;  // what it calls, for help
  const char* help;
  bool (Interpreter::*run)(const Args&, std::string*);
};

const std::vector<Interpreter::Command>& Interpreter::Commands() {
  using I = Interpreter;
  static const std::vector<Command> commands = {
      {"help", "", 0, 0, -1, "", "list the commands", &I::Help},
      {"echo", "TEXT...", 0, kAnyNumber, -1, "", "print the rest of the line", &I::Echo},
      {"quit", "", 0, 0, -1, "", "end the program (also: exit)", &I::Quit},
      {"exit", "", 0, 0, -1, "", "", &I::Quit},
      {"create", "CLASS [CREATOR] [as NAME]", 1, 4, -1, "CreateComponent",
       "make a component; CLASS is 114, 837, map or array", &I::Create},
      {"list", "", 0, 0, -1, "", "the components this host holds", &I::List},
      {"show", "C [DEPTH]", 1, 2, -1, "", "draw C's tree from its root, DEPTH levels deep",
       &I::Show},
      {"dot", "C FILE", 2, 2, -1, "", "write C's tree to FILE as a Graphviz graph", &I::Dot},
      {"generate", "C COUNT [FANOUT]", 2, 3, -1, "",
       "on an empty tree: root 1, then node k under (k-2)/FANOUT+1, k = 2..COUNT", &I::Generate},
      {"time", "COMMAND...", 1, kAnyNumber, -1, "", "run a command and print how long it took",
       &I::Time},
      {"id", "C", 1, 1, 0, "GetComponentID", "", &I::ComponentSlot},
      {"version", "C", 1, 1, 1, "GetVersion", "", &I::ComponentSlot},
      {"release", "C [FORCE]", 1, 2, 2, "Release", "end C's life", &I::Release},
      {"auto-free", "C", 1, 1, 3, "GetAutoFree", "", &I::ComponentSlot},
      {"set-auto-free", "C VALUE", 2, 2, 4, "SetAutoFree", "", &I::ComponentSlot},
      {"set-root", "C ID", 2, 2, 5, "SetRoot", "", &I::NodeSlot},
      {"is-leaf", "C ID", 2, 2, 6, "IsLeaf", "", &I::NodeSlot},
      {"exists", "C ID", 2, 2, 7, "Exists", "", &I::NodeSlot},
      {"is-child", "C ID PARENT", 3, 3, 8, "IsChild", "", &I::NodeSlot},
      {"append", "C NEW PARENT", 3, 3, 9, "AppendChild", "NEW as PARENT's last child",
       &I::NodeSlot},
      {"prepend", "C NEW PARENT", 3, 3, 10, "PrependChild", "NEW as PARENT's first child",
       &I::NodeSlot},
      {"insert-after", "C NEW PARENT REF", 4, 4, 11, "InsertAfter", "", &I::NodeSlot},
      {"insert-before", "C NEW PARENT REF", 4, 4, 12, "InsertBefore", "", &I::NodeSlot},
      {"clear", "C", 1, 1, 13, "Clear", "", &I::NodeSlot},
      {"remove", "C ID", 2, 2, 14, "RemoveNode", "", &I::NodeSlot},
      {"root", "C", 1, 1, 15, "GetRoot", "", &I::GetRootSlot},
      {"parent", "C ID", 2, 2, 16, "GetParent", "", &I::LinkSlot},
      {"last-child", "C ID", 2, 2, 17, "GetLastChild", "", &I::LinkSlot},
      {"first-child", "C ID", 2, 2, 18, "GetFirstChild", "", &I::LinkSlot},
      {"prev-sibling", "C ID", 2, 2, 19, "GetPrevSibling", "", &I::LinkSlot},
      {"next-sibling", "C ID", 2, 2, 20, "GetNextSibling", "", &I::LinkSlot},
      {"path-from-root", "C ID [CAP|null]", 2, 3, 21, "GetPathFromRoot", "", &I::ListSlot},
      {"path-to-root", "C ID [CAP|null]", 2, 3, 22, "GetPathToRoot", "", &I::ListSlot},
      {"siblings", "C ID [CAP|null]", 2, 3, 23, "GetSiblings", "", &I::ListSlot},
      {"leaves", "C ID [CAP|null]", 2, 3, 24, "GetLeaves", "", &I::ListSlot},
      {"all-nodes", "C [CAP|null]", 1, 2, 25, "GetAllNodes", "", &I::PairSlot},
      {"move-first", "C ID NEWPARENT", 3, 3, 26, "MoveToFirstChild", "", &I::NodeSlot},
      {"move-last", "C ID NEWPARENT", 3, 3, 27, "MoveToLastChild", "", &I::NodeSlot},
      {"move-before", "C ID REF", 3, 3, 28, "MoveBefore", "", &I::NodeSlot},
      {"move-after", "C ID REF", 3, 3, 29, "MoveAfter", "", &I::NodeSlot},
      {"on-final-release", "C", 1, 1, 30, "OnFinalRelease", "", &I::NodeSlot},
      {"registry", "C [PATH|null [CAP]]", 1, 3, 31, "GetDllRegistry", "", &I::Registry},
      {"siblings-with-self", "C ID [CAP|null]", 2, 3, 32, "GetSiblingsWithSelf", "",
       &I::ListSlot},
      {"descendants", "C ID [CAP|null]", 2, 3, 33, "GetDescendants", "", &I::PairSlot},
      {"at-depth", "C DEPTH ID [CAP|null]", 3, 4, 34, "GetNodesAtDepth", "", &I::NodesAtDepth},
      {"component-ids", "[CAP|null]", 0, 1, -1, "GetComponentIDs", "", &I::ComponentIds},
      {"set-registry", "PATH|null", 1, 1, -1, "SetDLLRegistry", "", &I::SetRegistry},
      {"set-factory", "PATH|none", 1, 1, -1, "SetFactoryHandle",
       "load the library at PATH and hand it over", &I::SetFactory},
      {"can-unload", "", 0, 0, -1, "PavexDllCanUnloadNow", "", &I::CanUnload},
      {"free-map", "", 0, 0, -1, "PavexDllFreeMap", "release every auto-free component",
       &I::FreeMap},
      {"set-dll-safe", "VALUE", 1, 1, -1, "PavexSetDllSafe", "0 makes every Release a no-op",
       &I::SetDllSafe},
  };
  return commands;
}

std::string Interpreter::HelpText() {
  std::string out =
      "Commands (C is a component's name or number; IDs are 32-bit integers,\n"
      "decimal or 0x hexadecimal; CAP is a buffer capacity, null passes no buffer,\n"
      "and without CAP the host counts first and passes a buffer that fits):\n";
  for (const Command& c : Commands()) {
    if (std::strcmp(c.name, "exit") == 0) continue;
    std::string left = std::string("  ") + c.name + (*c.args ? " " : "") + c.args;
    std::string right;
    if (c.slot >= 0) right = "slot " + std::to_string(c.slot) + " " + c.call;
    else if (*c.call) right = c.call;
    if (*c.help) right += right.empty() ? c.help : std::string(": ") + c.help;
    if (left.size() < 38) left.resize(38, ' ');
    else left += "  ";
    out += left + right + "\n";
  }
  out +=
      "Words: \"...\" quotes a word with blanks; # starts a comment; ${EXE_DIR},\n"
      "${MODULE_DIR} and ${SCRIPT_DIR} stand for those directories, ${LIB_PREFIX}\n"
      "and ${LIB_SUFFIX} for the parts of a library's file name around its name.\n";
  return out;
}

Interpreter::Interpreter(const ModuleExports& exports) : exports_(exports) {}

void Interpreter::SetVariable(const std::string& name, const std::string& value) {
  variables_[name] = value;
}

void Interpreter::Print(const std::string& text) { pending_ += text; }

void Interpreter::Flush() {
  if (!pending_.empty()) {
    std::fwrite(pending_.data(), 1, pending_.size(), stdout);
    pending_.clear();
  }
  std::fflush(stdout);
}

std::string Interpreter::Label(const Component& c) const {
  return c.name.empty() ? "#" + std::to_string(c.number) : c.name;
}

std::string Interpreter::Expand(const std::string& text) const {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = text.find("${", i);
    if (start == std::string::npos) break;
    size_t end = text.find('}', start);
    if (end == std::string::npos) break;
    auto it = variables_.find(text.substr(start + 2, end - start - 2));
    out += text.substr(i, start - i);
    out += it != variables_.end() ? it->second : text.substr(start, end - start + 1);
    i = end + 1;
  }
  return out + text.substr(i);
}

Interpreter::Status Interpreter::Run(const std::string& line, std::string* error) {
  std::vector<Token> tokens;
  if (!Tokenize(line, &tokens, error)) return Status::kError;
  for (Token& token : tokens) {
    token.raw = token.text;
    token.text = Expand(token.text);
  }
  rawLine_ = line;
  Status status = Execute(tokens, error);
  Flush();
  return status;
}

Interpreter::Status Interpreter::Execute(const std::vector<Token>& tokens, std::string* error) {
  if (tokens.empty()) return Status::kOk;
  const std::string& word = tokens[0].text;
  const Command* command = nullptr;
  for (const Command& c : Commands()) {
    if (word == c.name) command = &c;
  }
  if (command == nullptr || tokens[0].quoted) {
    *error = "unknown command '" + word + "' (try 'help')";
    return Status::kError;
  }
  Args args(tokens.begin() + 1, tokens.end());
  if (args.size() < command->minArgs || args.size() > command->maxArgs) {
    *error = "wrong number of arguments for '" + word + "': expected '" + word +
             (*command->args ? " " : "") + command->args + "'";
    return Status::kError;
  }
  if (command->run == &Interpreter::Quit) return Status::kQuit;
  const Command* outer = current_;
  current_ = command;
  bool ok;
  try {
    ok = (this->*command->run)(args, error);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    ok = false;
  } catch (const std::exception& e) {
    *error = std::string("failed: ") + e.what();
    ok = false;
  }
  current_ = outer;
  return ok ? Status::kOk : Status::kError;
}

bool Interpreter::ReadInt32(const Token& token, const char* what, int32_t* value,
                            std::string* error) {
  int64_t v = 0;
  if (!ParseInteger(token.text, &v)) {
    *error = std::string("expected a number for ") + what + ", got '" + token.text + "'";
    return false;
  }
  if (v < INT32_MIN || v > INT32_MAX) {
    *error = std::string(what) + " " + token.text +
             " is out of range (-2147483648 to 2147483647)";
    return false;
  }
  *value = static_cast<int32_t>(v);
  return true;
}

bool Interpreter::ReadUint32(const Token& token, const char* what, uint32_t* value,
                             std::string* error) {
  int64_t v = 0;
  if (!ParseInteger(token.text, &v)) {
    *error = std::string("expected a number for ") + what + ", got '" + token.text + "'";
    return false;
  }
  if (v < 0 || v > UINT32_MAX) {
    *error = std::string(what) + " " + token.text + " is out of range (0 to 4294967295)";
    return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool Interpreter::ReadComponent(const Token& token, Component** component, std::string* error) {
  int64_t number = 0;
  if (!token.quoted && ParseInteger(token.text, &number)) {
    auto it = components_.find(number >= 0 && number <= INT32_MAX ? static_cast<int>(number) : -1);
    if (it != components_.end()) {
      *component = &it->second;
      return true;
    }
  } else {
    for (auto& entry : components_) {
      if (entry.second.name == token.text) {
        *component = &entry.second;
        return true;
      }
    }
  }
  *error = "unknown component '" + token.text + "'";
  return false;
}

bool Interpreter::ReadBuffer(const Args& args, size_t index, bool* isNull, int32_t* capacity,
                             std::string* error) {
  const Token& token = args[index];
  if (!token.quoted && token.text == "null") {
    *isNull = true;
    *capacity = 0;
    return true;
  }
  *isNull = false;
  if (!ReadInt32(token, "CAP", capacity, error)) return false;
  if (*capacity > kMaxCapacity) {
    *error = "CAP " + token.text + " is more than this host allocates (" +
             std::to_string(kMaxCapacity) + ")";
    return false;
  }
  return true;
}

bool Interpreter::Help(const Args&, std::string*) {
  Print(HelpText());
  return true;
}

bool Interpreter::Echo(const Args&, std::string*) {
  // The rest of the line as written, after the command word.
  size_t at = rawLine_.find("echo");
  std::string text = at == std::string::npos ? "" : rawLine_.substr(at + 4);
  size_t first = text.find_first_not_of(" \t");
  text = first == std::string::npos ? "" : text.substr(first);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  Print(text + "\n");
  return true;
}

bool Interpreter::Quit(const Args&, std::string*) { return true; }

bool Interpreter::Create(const Args& args, std::string* error) {
  int32_t componentId = 0;
  const std::string& cls = args[0].text;
  if (cls == "map") {
    componentId = 114;
  } else if (cls == "array") {
    componentId = 837;
  } else if (!ReadInt32(args[0], "CLASS", &componentId, error)) {
    return false;
  }
  size_t i = 1;
  uint32_t creatorId = 0;
  if (i < args.size() && args[i].text != "as") {
    if (!ReadUint32(args[i], "CREATOR", &creatorId, error)) return false;
    ++i;
  }
  std::string name;
  if (i < args.size()) {
    if (args[i].text != "as" || i + 2 != args.size()) {
      *error = "expected 'create CLASS [CREATOR] [as NAME]'";
      return false;
    }
    name = args[i + 1].text;
    if (!IsName(name)) {
      *error = "a name begins with a letter and holds letters, digits, _ and -; got '" + name +
               "'";
      return false;
    }
    for (const auto& entry : components_) {
      if (entry.second.name == name) {
        *error = "a component named '" + name + "' exists already";
        return false;
      }
    }
  }
  std::string call = "CreateComponent(" + std::to_string(componentId) + ", " +
                     std::to_string(creatorId) + ")";
  Flush();
  IComponent* object = exports_.CreateComponent(componentId, creatorId);
  if (object == nullptr) {
    // The module's last message of a failed creation has no line end.
    Print("\n" + call + " = null\n");
    return true;
  }
  Component c{nextNumber_++, name, componentId, creatorId,
              static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(object))};
  components_[c.number] = c;
  Print("#" + std::to_string(c.number) + (name.empty() ? "" : " " + name) + " = " + call + "\n");
  return true;
}

bool Interpreter::List(const Args&, std::string*) {
  if (components_.empty()) Print("(no components)\n");
  for (const auto& entry : components_) {
    const Component& c = entry.second;
    Print("#" + std::to_string(c.number) + (c.name.empty() ? "" : " " + c.name) +
          ": component " + std::to_string(c.componentId) + ", creator " +
          std::to_string(c.creatorId) + "\n");
  }
  return true;
}

bool Interpreter::Show(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t depth = -1;
  if (args.size() > 1) {
    if (!ReadInt32(args[1], "DEPTH", &depth, error)) return false;
    if (depth < 0) {
      *error = "DEPTH must not be negative";
      return false;
    }
  }
  Print("tree of " + Label(*c) + ":\n" + DrawTree(c->object, depth));
  return true;
}

bool Interpreter::Dot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  std::string graph = DotGraph(c->object, Label(*c));
  std::ofstream file(args[1].text, std::ios::binary);
  if (!file || !file.write(graph.data(), static_cast<std::streamsize>(graph.size())) ||
      !(file.close(), file)) {
    *error = "cannot write '" + args[1].text + "'";
    return false;
  }
  Print("wrote the tree of " + Label(*c) + " to " + args[1].raw + "\n");
  return true;
}

bool Interpreter::Generate(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t count = 0;
  int32_t fanout = 2;
  if (!ReadInt32(args[1], "COUNT", &count, error)) return false;
  if (args.size() > 2 && !ReadInt32(args[2], "FANOUT", &fanout, error)) return false;
  if (count < 1 || count > kMaxGenerate) {
    *error = "COUNT must be 1 to " + std::to_string(kMaxGenerate);
    return false;
  }
  if (fanout < 1) {
    *error = "FANOUT must be 1 or more";
    return false;
  }
  ITreeComponent* tree = c->object;
  int32_t root = 0;
  if (tree->GetRoot(&root) == 1) {
    *error = "generate needs an empty tree; " + Label(*c) + " has root " + std::to_string(root);
    return false;
  }
  int32_t set = tree->SetRoot(1);
  int64_t done = 0;
  for (int32_t k = 2; k <= count; ++k) {
    if (tree->AppendChild(k, (k - 2) / fanout + 1) == 1) ++done;
  }
  Print(Label(*c) + ".SetRoot(1) = " + std::to_string(set) + "; AppendChild(k, (k-2)/" +
        std::to_string(fanout) + "+1) for k = 2.." + std::to_string(count) + ": " +
        std::to_string(done) + " done, " + std::to_string(count - 1 - done) + " refused\n");
  return true;
}

bool Interpreter::Time(const Args& args, std::string* error) {
  auto start = std::chrono::steady_clock::now();
  Status status = Execute(args, error);
  auto end = std::chrono::steady_clock::now();
  if (status == Status::kError) return false;
  double ms = std::chrono::duration<double, std::milli>(end - start).count();
  char text[64];
  std::snprintf(text, sizeof text, "time: %.3f ms\n", ms);
  Print(text);
  return true;
}

bool Interpreter::ComponentSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  ITreeComponent* t = c->object;
  std::string head = Label(*c) + "." + current_->call + "(";
  switch (current_->slot) {
    case kSlotGetComponentID:
      Print(head + ") = " + std::to_string(t->GetComponentID()) + "\n");
      break;
    case kSlotGetVersion:
      Print(head + ") = " + std::to_string(t->GetVersion()) + "\n");
      break;
    case kSlotGetAutoFree:
      Print(head + ") = " + std::to_string(t->GetAutoFree()) + "\n");
      break;
    default: {
      int32_t value = 0;
      if (!ReadInt32(args[1], "VALUE", &value, error)) return false;
      t->SetAutoFree(value);
      Print(head + std::to_string(value) + ")\n");
    }
  }
  return true;
}

bool Interpreter::Release(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t force = 0;
  if (args.size() > 1 && !ReadInt32(args[1], "FORCE", &force, error)) return false;
  // The line comes first: what the module prints during the release (the
  // factory notification) belongs after it.
  std::string line = Label(*c) + ".Release(" + std::to_string(force) + ")";
  if (dllSafe_ == 0) {
    // Release does nothing while the module is not dll-safe.
    Print(line + "; " + Label(*c) + " stays: dll-safe is 0\n");
  } else {
    Print(line + "\n");
  }
  Flush();
  c->object->Release(force);
  if (dllSafe_ != 0) components_.erase(c->number);
  return true;
}

bool Interpreter::NodeSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  static const char* const kWhat[] = {"ID", "PARENT", "REF"};
  int32_t v[3] = {0, 0, 0};
  const int slot = current_->slot;
  for (size_t i = 1; i < args.size(); ++i) {
    const char* what = kWhat[i - 1];
    if (i == 1 && (slot >= kSlotAppendChild && slot <= kSlotInsertBefore)) what = "NEW";
    if (i == 2 && slot >= kSlotMoveToFirstChild) {
      what = slot <= kSlotMoveToLastChild ? "NEWPARENT" : "REF";
    }
    if (!ReadInt32(args[i], what, &v[i - 1], error)) return false;
  }
  ITreeComponent* t = c->object;
  int32_t r = 0;
  switch (slot) {
    case kSlotSetRoot: r = t->SetRoot(v[0]); break;
    case kSlotIsLeaf: r = t->IsLeaf(v[0]); break;
    case kSlotExists: r = t->Exists(v[0]); break;
    case kSlotIsChild: r = t->IsChild(v[0], v[1]); break;
    case kSlotAppendChild: r = t->AppendChild(v[0], v[1]); break;
    case kSlotPrependChild: r = t->PrependChild(v[0], v[1]); break;
    case kSlotInsertAfter: r = t->InsertAfter(v[0], v[1], v[2]); break;
    case kSlotInsertBefore: r = t->InsertBefore(v[0], v[1], v[2]); break;
    case kSlotClear: r = t->Clear(); break;
    case kSlotRemoveNode: r = t->RemoveNode(v[0]); break;
    case kSlotMoveToFirstChild: r = t->MoveToFirstChild(v[0], v[1]); break;
    case kSlotMoveToLastChild: r = t->MoveToLastChild(v[0], v[1]); break;
    case kSlotMoveBefore: r = t->MoveBefore(v[0], v[1]); break;
    case kSlotMoveAfter: r = t->MoveAfter(v[0], v[1]); break;
    default: break;
  }
  std::string line = Label(*c) + "." + current_->call + "(";
  for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? ", " : "") + std::to_string(v[i - 1]);
  line += ")";
  if (slot == kSlotOnFinalRelease) {
    t->OnFinalRelease();
    Print(line + "\n");
  } else {
    Print(line + " = " + std::to_string(r) + "\n");
  }
  return true;
}

bool Interpreter::GetRootSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t out = 0;
  int32_t r = c->object->GetRoot(&out);
  Print(Label(*c) + ".GetRoot() = " + std::to_string(r) +
        (r == 1 ? ": " + std::to_string(out) : std::string()) + "\n");
  return true;
}

bool Interpreter::LinkSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t id = 0;
  if (!ReadInt32(args[1], "ID", &id, error)) return false;
  ITreeComponent* t = c->object;
  int32_t out = 0;
  int32_t r = 0;
  switch (current_->slot) {
    case kSlotGetParent: r = t->GetParent(id, &out); break;
    case kSlotGetLastChild: r = t->GetLastChild(id, &out); break;
    case kSlotGetFirstChild: r = t->GetFirstChild(id, &out); break;
    case kSlotGetPrevSibling: r = t->GetPrevSibling(id, &out); break;
    default: r = t->GetNextSibling(id, &out); break;
  }
  Print(Label(*c) + "." + current_->call + "(" + std::to_string(id) + ") = " + std::to_string(r) +
        (r == 1 ? ": " + std::to_string(out) : std::string()) + "\n");
  return true;
}

// Runs call(buffer, capacity) the way the arguments ask: with the capacity
// given, with no buffer for null, or, without either, once to count and
// once with a buffer of that size. Returns the last result.
template <typename Entry, typename Call>
static int32_t CallWithBuffer(bool automatic, bool isNull, int32_t* capacity,
                              std::vector<Entry>* buffer, Call call) {
  if (automatic) {
    int32_t count = call(nullptr, 0);
    if (count <= 0) {
      *capacity = 0;
      buffer->clear();
      return count;
    }
    *capacity = static_cast<int32_t>(count < kMaxCapacity ? count : kMaxCapacity);
  } else if (isNull) {
    buffer->clear();
    return call(nullptr, *capacity);
  }
  // A buffer is passed even for a capacity of 0 or less.
  buffer->assign(*capacity > 0 ? static_cast<size_t>(*capacity) : 1, Entry{});
  return call(buffer->data(), *capacity);
}

static std::string BufferArgs(bool passed, int32_t capacity) {
  return passed ? "buffer, " + std::to_string(capacity) : "null, " + std::to_string(capacity);
}

bool Interpreter::ListSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t id = 0;
  if (!ReadInt32(args[1], "ID", &id, error)) return false;
  bool isNull = false;
  int32_t capacity = 0;
  bool automatic = args.size() < 3;
  if (!automatic && !ReadBuffer(args, 2, &isNull, &capacity, error)) return false;
  ITreeComponent* t = c->object;
  const int slot = current_->slot;
  std::vector<int32_t> buffer;
  int32_t r = CallWithBuffer(automatic, isNull, &capacity, &buffer, [&](int32_t* b, int32_t n) {
    switch (slot) {
      case kSlotGetPathFromRoot: return t->GetPathFromRoot(id, b, n);
      case kSlotGetPathToRoot: return t->GetPathToRoot(id, b, n);
      case kSlotGetSiblings: return t->GetSiblings(id, b, n);
      case kSlotGetLeaves: return t->GetLeaves(id, b, n);
      default: return t->GetSiblingsWithSelf(id, b, n);
    }
  });
  bool passed = !buffer.empty();
  std::string line = Label(*c) + "." + current_->call + "(" + std::to_string(id) + ", " +
                     BufferArgs(passed, capacity) + ") = " + std::to_string(r);
  int64_t written = passed && r > 0 ? (r < capacity ? r : capacity) : 0;
  if (written > 0) line += ":" + Join(buffer, static_cast<size_t>(written));
  Print(line + "\n");
  return true;
}

bool Interpreter::NodesAtDepth(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t depth = 0;
  int32_t id = 0;
  if (!ReadInt32(args[1], "DEPTH", &depth, error)) return false;
  if (!ReadInt32(args[2], "ID", &id, error)) return false;
  bool isNull = false;
  int32_t capacity = 0;
  bool automatic = args.size() < 4;
  if (!automatic && !ReadBuffer(args, 3, &isNull, &capacity, error)) return false;
  ITreeComponent* t = c->object;
  std::vector<int32_t> buffer;
  int32_t r = CallWithBuffer(automatic, isNull, &capacity, &buffer, [&](int32_t* b, int32_t n) {
    return t->GetNodesAtDepth(depth, id, b, n);
  });
  bool passed = !buffer.empty();
  std::string line = Label(*c) + ".GetNodesAtDepth(" + std::to_string(depth) + ", " +
                     std::to_string(id) + ", " + BufferArgs(passed, capacity) + ") = " +
                     std::to_string(r);
  int64_t written = passed && r > 0 ? (r < capacity ? r : capacity) : 0;
  if (written > 0) line += ":" + Join(buffer, static_cast<size_t>(written));
  Print(line + "\n");
  return true;
}

bool Interpreter::PairSlot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  const bool all = current_->slot == kSlotGetAllNodes;
  size_t next = 1;
  int32_t id = 0;
  if (!all && !ReadInt32(args[next++], "ID", &id, error)) return false;
  bool isNull = false;
  int32_t capacity = 0;
  bool automatic = args.size() <= next;
  if (!automatic && !ReadBuffer(args, next, &isNull, &capacity, error)) return false;
  ITreeComponent* t = c->object;
  std::vector<NodePair> pairs;
  int32_t root = 0;
  int32_t r = 0;
  if (all) {
    r = CallWithBuffer(automatic, isNull, &capacity, &pairs,
                       [&](NodePair* p, int32_t n) { return t->GetAllNodes(&root, p, n); });
  } else {
    r = CallWithBuffer(automatic, isNull, &capacity, &pairs,
                       [&](NodePair* p, int32_t n) { return t->GetDescendants(id, p, n); });
  }
  bool passed = !pairs.empty();
  std::string line = Label(*c) + "." + current_->call + "(" +
                     (all ? std::string("root, ") : std::to_string(id) + ", ") +
                     BufferArgs(passed, capacity) + ") = " + std::to_string(r);
  int64_t count = all ? r - 1 : r;
  int64_t written = passed && count > 0 ? (count < capacity ? count : capacity) : 0;
  if (all && r > 0) line += ": root " + std::to_string(root);
  else if (written > 0) line += ":";
  for (int64_t i = 0; i < written; ++i) {
    line += " (" + std::to_string(pairs[static_cast<size_t>(i)].id) + "," +
            std::to_string(pairs[static_cast<size_t>(i)].parent) + ")";
  }
  Print(line + "\n");
  return true;
}

bool Interpreter::Registry(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  const char* path = nullptr;
  std::string shownPath = "null";
  if (args.size() > 1 && !(args[1].text == "null" && !args[1].quoted)) {
    path = args[1].text.c_str();
    shownPath = Quote(args[1].raw);
  }
  int32_t capacity = 260;
  if (args.size() > 2) {
    if (!ReadInt32(args[2], "CAP", &capacity, error)) return false;
    if (capacity > 65536) {
      *error = "CAP " + args[2].text + " is more than this host allocates (65536)";
      return false;
    }
  }
  // Filled with a byte no copy leaves, so an untouched buffer shows.
  std::vector<char> buffer(capacity > 0 ? static_cast<size_t>(capacity) : 1, '\x7f');
  c->object->GetDllRegistry(path, buffer.data(), capacity);
  std::string line = Label(*c) + ".GetDllRegistry(" + shownPath + ", buffer, " +
                     std::to_string(capacity) + ")";
  const char* end = static_cast<const char*>(std::memchr(buffer.data(), '\0', buffer.size()));
  if (end == nullptr || capacity <= 0) {
    line += ": buffer untouched";
  } else {
    line += ": " + Quote(std::string(buffer.data(), static_cast<size_t>(end - buffer.data())));
  }
  Print(line + "\n");
  return true;
}

bool Interpreter::ComponentIds(const Args& args, std::string* error) {
  bool isNull = false;
  uint32_t capacity = 16;
  if (!args.empty()) {
    if (args[0].text == "null" && !args[0].quoted) {
      isNull = true;
      capacity = 0;
    } else {
      if (!ReadUint32(args[0], "CAP", &capacity, error)) return false;
      if (capacity > kMaxCapacity) {
        *error = "CAP " + args[0].text + " is more than this host allocates (" +
                 std::to_string(kMaxCapacity) + ")";
        return false;
      }
    }
  }
  std::vector<int32_t> ids(capacity > 0 ? capacity : 1, 0);
  Flush();
  int32_t r = exports_.GetComponentIDs(isNull ? nullptr : ids.data(), capacity);
  std::string line = "GetComponentIDs(" + std::string(isNull ? "null, " : "ids, ") +
                     std::to_string(capacity) + ") = " + std::to_string(r);
  int64_t written = !isNull && r > 0 ? (static_cast<uint32_t>(r) < capacity ? r : capacity) : 0;
  if (written > 0) line += ":" + Join(ids, static_cast<size_t>(written));
  Print(line + "\n");
  return true;
}

bool Interpreter::SetRegistry(const Args& args, std::string*) {
  bool isNull = args[0].text == "null" && !args[0].quoted;
  Flush();
  int32_t r = exports_.SetDLLRegistry(isNull ? nullptr : args[0].text.c_str());
  Print("SetDLLRegistry(" + (isNull ? std::string("null") : Quote(args[0].raw)) +
        ") = " + std::to_string(r) + "\n");
  return true;
}

bool Interpreter::SetFactory(const Args& args, std::string* error) {
  void* handle = nullptr;
  std::string shown = "null";
  if (!(args[0].text == "none" && !args[0].quoted)) {
    std::string why;
    Flush();
    handle = OpenLibrary(args[0].text, &why);
    if (handle == nullptr) {
      *error = "cannot load '" + args[0].text + "': " + why;
      return false;
    }
    // The library stays loaded: the module may use it until the end.
    shown = "the handle of " + Quote(args[0].raw);
  }
  Flush();
  void* r = exports_.SetFactoryHandle(handle);
  Print("SetFactoryHandle(" + shown + ") = " +
        (r == handle ? (handle ? "the same handle" : "null") : "another handle") + "\n");
  return true;
}

bool Interpreter::CanUnload(const Args&, std::string*) {
  Flush();
  Print("PavexDllCanUnloadNow() = " + std::to_string(exports_.PavexDllCanUnloadNow()) + "\n");
  return true;
}

bool Interpreter::FreeMap(const Args&, std::string*) {
  // The module releases every live component whose auto-free value is not
  // 0, unless it is not dll-safe; those are gone from this host's table too.
  std::vector<int> freed;
  if (dllSafe_ != 0) {
    for (const auto& entry : components_) {
      if (entry.second.object->GetAutoFree() != 0) freed.push_back(entry.first);
    }
  }
  std::string names;
  for (int number : freed) {
    names += " " + Label(components_[number]);
  }
  Print("PavexDllFreeMap(); releases:" + (names.empty() ? std::string(" none") : names) + "\n");
  Flush();
  exports_.PavexDllFreeMap();
  for (int number : freed) components_.erase(number);
  return true;
}

bool Interpreter::SetDllSafe(const Args& args, std::string* error) {
  int32_t value = 0;
  if (!ReadInt32(args[0], "VALUE", &value, error)) return false;
  Flush();
  int32_t r = exports_.PavexSetDllSafe(value);
  dllSafe_ = value;
  Print("PavexSetDllSafe(" + std::to_string(value) + ") = " + std::to_string(r) + "\n");
  return true;
}

}  // namespace rodarove_host
