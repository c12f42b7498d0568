#include "host/interpreter.h"

#include <cstdio>
#include <exception>
#include <new>

#include "host/command_table.h"
#include "host/host_platform.h"

namespace rodarove_host {

Interpreter::Interpreter(const ModuleExports& exports) : exports_(exports) {}

void Interpreter::SetVariable(const std::string& name, const std::string& value) {
  variables_[name] = value;
}

void Interpreter::Print(const std::string& text) {
  if (quiet_ == 0) pending_ += text;
}

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

bool Interpreter::Interrupted() const { return InterruptPending(); }

int Interpreter::ReleaseAll() {
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

void Interpreter::Forget(int number) {
  auto it = components_.find(number);
  if (it == components_.end()) return;
  releasedNumbers_.insert(number);
  if (!it->second.name.empty()) releasedNames_.insert(it->second.name);
  components_.erase(it);
}

Interpreter::Status Interpreter::Run(const std::string& line, std::string* error) {
  quit_ = false;
  locatedError_ = false;
  Status status = RunLine(line, error);
  Flush();
  return status;
}

Interpreter::Status Interpreter::RunLine(const std::string& line, std::string* error) {
  std::vector<Token> tokens;
  if (!Tokenize(line, &tokens, error)) return Status::kError;
  for (Token& token : tokens) {
    token.raw = token.text;
    if (token.text.find("${") != std::string::npos) token.text = Expand(token.text, variables_);
  }
  rawLine_ = line;
  return Execute(tokens, error);
}

Interpreter::Status Interpreter::Execute(const std::vector<Token>& tokens, std::string* error) {
  if (tokens.empty()) return Status::kOk;
  const std::string& word = tokens[0].text;
  const Command* command = tokens[0].quoted ? nullptr : FindCommand(word);
  if (command == nullptr) {
    *error = "unknown command '" + ShortWord(word) + "' (try 'help')";
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
  if (command->run == &Interpreter::Quit) {
    if (!loadName_.empty()) {
      *error = "'" + word + "' cannot end the session from a file being loaded";
      return Status::kError;
    }
    return Status::kQuit;
  }
  const Command* outer = current_;
  const bool outerAll = showAll_;
  current_ = command;
  showAll_ = all || outerAll;
  answer_ = Answer();
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
  showAll_ = outerAll;
  if (!ok) return Status::kError;
  return quit_ ? Status::kQuit : Status::kOk;
}

bool Interpreter::ReadInt32(const Token& token, const char* what, int32_t* value,
                            std::string* error) {
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

bool Interpreter::ReadUint32(const Token& token, const char* what, uint32_t* value,
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

bool Interpreter::ReadComponent(const Token& token, Component** component, std::string* error) {
  std::string word = token.text;
  if (!loadAlias_.empty() && word == loadAlias_ && !token.quoted) word = loadName_;
  int64_t number = 0;
  const bool byNumber = !token.quoted && ParseInteger(word, &number);
  if (byNumber) {
    auto it = components_.find(number >= 0 && number <= INT32_MAX ? static_cast<int>(number) : -1);
    if (it != components_.end()) {
      *component = &it->second;
      return true;
    }
  } else {
    for (auto& entry : components_) {
      if (entry.second.name == word) {
        *component = &entry.second;
        return true;
      }
    }
  }
  const bool released = byNumber ? releasedNumbers_.count(static_cast<int>(number)) != 0
                                 : releasedNames_.count(word) != 0;
  *error = released ? "component '" + ShortWord(token.text) + "' was released already"
                    : "unknown component '" + ShortWord(token.text) + "'";
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
    *error = "CAP " + ShortWord(token.text) + " is more than this host allocates (" +
             std::to_string(kMaxCapacity) + ")";
    return false;
  }
  return true;
}

void Interpreter::PrintAnswer(const std::string& head, int64_t value, const std::string& meaning,
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
    const size_t shown =
        showAll_ || limit_ < 0 || count <= static_cast<size_t>(limit_) ? count
                                                                       : static_cast<size_t>(limit_);
    if (quiet_ == 0) {
      for (size_t i = 0; i < shown; ++i) line += " " + entries->at(i);
      if (shown < count) {
        line += " ... and " + std::to_string(count - shown) + " more (--all shows them)";
      }
    }
  }
  Print(line + "\n");
  if (collectEntries_ && entries != nullptr) {
    answer_.hasEntries = true;
    answer_.entries = entries->lead;
    for (size_t i = 0; i < entries->count; ++i) {
      if (!answer_.entries.empty()) answer_.entries += ' ';
      answer_.entries += entries->at(i);
    }
  }
}

}  // namespace rodarove_host
