#include "host/session.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <new>

#include "host/command_table.h"
#include "host/host_platform.h"

namespace rodarove_host {

namespace {

// How deep files may run each other through source and load.
constexpr int kMaxFileDepth = 16;

}  // namespace

Session::Session(const ModuleExports& exports) : exports_(exports) {}

void Session::SetVariable(const std::string& name, const std::string& value) {
  variables_[name] = value;
}

bool Session::Interrupted() const { return InterruptPending(); }

void Session::Print(const std::string& text) {
  if (!mode_.quiet) pending_ += text;
}

void Session::Flush() {
  if (!pending_.empty()) {
    std::fwrite(pending_.data(), 1, pending_.size(), stdout);
    pending_.clear();
  }
  std::fflush(stdout);
}

std::string Session::Label(const Component& c) const {
  return c.name.empty() ? "#" + std::to_string(c.number) : c.name;
}

Component* Session::FindByName(const std::string& name) {
  for (auto& entry : components_) {
    if (entry.second.name == name) return &entry.second;
  }
  return nullptr;
}

Component& Session::Add(const std::string& name, int32_t componentId, uint32_t creatorId,
                        ITreeComponent* object) {
  const int number = nextNumber_++;
  releasedNames_.erase(name);
  return components_[number] = Component{number, name, componentId, creatorId, object};
}

void Session::Forget(int number) {
  auto it = components_.find(number);
  if (it == components_.end()) return;
  releasedNumbers_.insert(number);
  if (!it->second.name.empty()) releasedNames_.insert(it->second.name);
  components_.erase(it);
}

int Session::ReleaseAll() {
  if (dllSafe_ == 0) {
    exports_.PavexSetDllSafe(1);
    dllSafe_ = 1;
  }
  int released = 0;
  while (!components_.empty()) {
    auto it = components_.begin();
    ITreeComponent* object = it->second.object;
    Forget(it->first);
    object->Release(0);
    ++released;
  }
  return released;
}

std::string Session::RegisteredClasses() {
  int32_t ids[64] = {};
  Flush();
  int32_t n = exports_.GetComponentIDs(ids, 64);
  std::string out;
  for (int32_t i = 0; i < n && i < 64; ++i) out += (i > 0 ? ", " : "") + std::to_string(ids[i]);
  return out.empty() ? "none" : out;
}

Session::Status Session::RunTopLine(const std::string& line, std::string* error) {
  quit_ = false;
  locatedError_ = false;
  Status status = RunLine(line, error);
  Flush();
  return status;
}

Session::Status Session::RunLine(const std::string& line, std::string* error) {
  std::vector<Token> tokens;
  if (!Tokenize(line, &tokens, error)) return Status::kError;
  for (Token& token : tokens) {
    token.raw = token.text;
    if (token.text.find("${") != std::string::npos) token.text = Expand(token.text, variables_);
  }
  rawLine_ = line;
  return Execute(mode_, tokens, error);
}

Session::Status Session::Execute(const Mode& mode, const Args& tokens, std::string* error) {
  const Mode outer = mode_;
  mode_ = mode;
  Status status = ExecuteCommand(tokens, error);
  mode_ = outer;
  return status;
}

Session::Status Session::ExecuteCommand(const Args& tokens, std::string* error) {
  if (tokens.empty()) return Status::kOk;
  const std::string& word = tokens[0].text;
  const Command* command = tokens[0].quoted ? nullptr : FindCommand(word);
  if (command == nullptr) {
    *error = "unknown command '" + ShortWord(word) + "'" + SuggestionFor(word);
    return Status::kError;
  }
  Args args;
  bool all = false;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if ((command->flags & kListsEntries) != 0 && !tokens[i].quoted && tokens[i].text == "--all") {
      all = true;
    } else {
      args.push_back(tokens[i]);
    }
  }
  if (args.size() < command->minArgs || args.size() > command->maxArgs) {
    *error = "wrong number of arguments for '" + word + "': expected '" + command->Usage() + "'";
    return Status::kError;
  }
  if (command->run == &Quit) {
    if (mode_.load != nullptr) {
      *error = "'" + word + "' cannot end the session from a file being loaded";
      return Status::kError;
    }
    return Status::kQuit;
  }
  mode_.command = command;
  mode_.showAll = mode_.showAll || all;
  answer_ = Answer();
  bool ok;
  try {
    ok = command->run(*this, args, error);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    ok = false;
  } catch (const std::exception& e) {
    *error = std::string("failed: ") + e.what();
    ok = false;
  }
  if (!ok) return Status::kError;
  return quit_ ? Status::kQuit : Status::kOk;
}

bool Session::RunFile(const Mode& mode, const std::string& path, std::string* error) {
  if (depth_ >= kMaxFileDepth) {
    *error = "files run each other more than " + std::to_string(kMaxFileDepth) + " deep";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open '" + ShortWord(path) + "'";
    return false;
  }
  const Mode outerMode = mode_;
  mode_ = mode;
  ++depth_;
  const std::string outerLine = rawLine_;
  auto dir = variables_.find("SCRIPT_DIR");
  const bool hadDir = dir != variables_.end();
  const std::string outerDir = hadDir ? dir->second : "";
  variables_["SCRIPT_DIR"] = DirectoryOf(path);
  bool ok = true;
  std::string line;
  for (long number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string inner;
    Status status = Status::kError;
    if (Interrupted()) {
      inner = "stopped by Ctrl-C before this line";
    } else {
      status = RunLine(line, &inner);
    }
    if (status == Status::kError) {
      // Only the innermost file names its line: the caller adds its own.
      *error = locatedError_ ? inner : path + ":" + std::to_string(number) + ": " + inner;
      locatedError_ = true;
      ok = false;
      break;
    }
    if (status == Status::kQuit) {
      quit_ = true;
      break;
    }
    if (!mode_.quiet) Flush();
  }
  if (hadDir) {
    variables_["SCRIPT_DIR"] = outerDir;
  } else {
    variables_.erase("SCRIPT_DIR");
  }
  rawLine_ = outerLine;
  --depth_;
  mode_ = outerMode;
  return ok;
}

bool Session::ReadInt32(const Token& token, const char* what, int32_t* value, std::string* error) {
  int64_t v = 0;
  if (!ParseInteger(token.text, &v)) {
    *error = std::string("expected a number for ") + what + ", got '" + ShortWord(token.text) + "'";
    return false;
  }
  if (v < INT32_MIN || v > INT32_MAX) {
    *error = std::string(what) + " " + ShortWord(token.text) +
             " is out of range (-2147483648 to 2147483647)";
    return false;
  }
  *value = static_cast<int32_t>(v);
  return true;
}

bool Session::ReadUint32(const Token& token, const char* what, uint32_t* value,
                         std::string* error) {
  int64_t v = 0;
  if (!ParseInteger(token.text, &v)) {
    *error = std::string("expected a number for ") + what + ", got '" + ShortWord(token.text) + "'";
    return false;
  }
  if (v < 0 || v > UINT32_MAX) {
    *error = std::string(what) + " " + ShortWord(token.text) + " is out of range (0 to 4294967295)";
    return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool Session::ReadComponent(const Token& token, Component** component, std::string* error) {
  std::string word = token.text;
  const LoadTarget* load = mode_.load;
  if (load != nullptr && !load->alias.empty() && word == load->alias && !token.quoted) {
    word = load->name;
  }
  int64_t number = 0;
  const bool byNumber = !token.quoted && ParseInteger(word, &number);
  if (byNumber) {
    auto it = components_.find(number >= 0 && number <= INT32_MAX ? static_cast<int>(number) : -1);
    if (it != components_.end()) {
      *component = &it->second;
      return true;
    }
  } else if (Component* named = FindByName(word)) {
    *component = named;
    return true;
  }
  const bool released = byNumber ? releasedNumbers_.count(static_cast<int>(number)) != 0
                                 : releasedNames_.count(word) != 0;
  *error = released ? "component '" + ShortWord(token.text) + "' was released already"
                    : "unknown component '" + ShortWord(token.text) + "'";
  return false;
}

bool Session::ReadBuffer(const Token& token, bool* isNull, int32_t* capacity, std::string* error) {
  if (!token.quoted && token.text == "null") {
    *isNull = true;
    *capacity = 0;
    return true;
  }
  *isNull = false;
  if (!ReadInt32(token, "CAP", capacity, error)) return false;
  if (*capacity > kMaxCapacity) {
    *error = "CAP " + ShortWord(token.text) + " is more than this host allocates (" +
             std::to_string(kMaxCapacity) + ")";
    return false;
  }
  return true;
}

size_t Session::Shown(size_t count) const {
  return mode_.showAll || limit_ < 0 || count <= static_cast<size_t>(limit_)
             ? count
             : static_cast<size_t>(limit_);
}

void Session::PrintAnswer(const std::string& head, int64_t value, const std::string& meaning,
                          const Entries* entries) {
  answer_.kind = Answer::kNumber;
  answer_.value = value;
  answer_.meaning = meaning;
  std::string line = head + " = " + std::to_string(value);
  if (!meaning.empty()) line += " (" + meaning + ")";
  if (entries != nullptr && (!entries->lead.empty() || entries->count > 0)) {
    line += ":";
    if (!entries->lead.empty()) line += " " + entries->lead;
    const size_t count = entries->count;
    const size_t shown = Shown(count);
    if (!mode_.quiet) {
      for (size_t i = 0; i < shown; ++i) line += " " + entries->at(i);
      if (shown < count) {
        line += " ... and " + std::to_string(count - shown) + " more (--all shows them)";
      }
    }
  }
  Print(line + "\n");
  if (mode_.collectEntries && entries != nullptr) {
    answer_.hasEntries = true;
    answer_.entries = entries->lead;
    for (size_t i = 0; i < entries->count; ++i) {
      if (!answer_.entries.empty()) answer_.entries += ' ';
      answer_.entries += entries->at(i);
    }
  }
}

}  // namespace rodarove_host
