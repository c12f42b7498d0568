// The commands for scripts: checks, files, repetition, bulk building, and
// the host's own settings.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "host/command_table.h"
#include "host/host_platform.h"
#include "host/interpreter.h"

namespace rodarove_host {

namespace {

// The most nodes generate builds in one call.
constexpr int64_t kMaxGenerate = 50000000;
// The most runs time makes of one command.
constexpr int64_t kMaxRuns = 1000000000;
// How deep files may run each other through source and load.
constexpr int kMaxFileDepth = 16;
// Children a saved line appends at most.
constexpr size_t kSavedPerLine = 32;
// Module calls between two looks at Ctrl-C in generate.
constexpr int32_t kInterruptStride = 4096;

// The words of a command as written, for messages.
std::string CommandText(const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& t : tokens) {
    if (!out.empty()) out += ' ';
    out += ShortWord(t.quoted ? Quote(t.raw) : t.raw);
  }
  return out;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

std::string EntryCount(size_t count) {
  return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace

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

bool Interpreter::Limit(const Args& args, std::string* error) {
  if (!args.empty()) {
    int64_t n = 0;
    if (args[0].text == "all" && !args[0].quoted) {
      limit_ = -1;
    } else if (ParseInteger(args[0].text, &n) && n >= 0 && n <= kMaxCapacity) {
      limit_ = n;
    } else {
      *error = "expected a number from 0 to " + std::to_string(kMaxCapacity) +
               ", or all, for N; got '" + ShortWord(args[0].text) + "'";
      return false;
    }
  }
  Print(limit_ < 0 ? std::string("lists show every entry\n")
                   : "lists show at most " + std::to_string(limit_) + " entries\n");
  return true;
}

bool Interpreter::Time(const Args& args, std::string* error) {
  int64_t runs = 1;
  size_t first = 0;
  const bool counted = args.size() > 1 && !args[0].quoted && ParseInteger(args[0].text, &runs);
  if (counted) {
    if (runs < 1 || runs > kMaxRuns) {
      *error = "N must be 1 to " + std::to_string(kMaxRuns);
      return false;
    }
    first = 1;
  }
  const Args command(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
  const Command* inner = command[0].quoted ? nullptr : FindCommand(command[0].text);
  if (inner != nullptr && inner->run == &Interpreter::Quit) {
    *error = "time cannot run '" + command[0].text + "'";
    return false;
  }
  auto start = std::chrono::steady_clock::now();
  int64_t done = 0;
  Status status = Status::kOk;
  for (; done < runs && status == Status::kOk; ++done) {
    if (done > 0 && Interrupted()) break;
    // Only the first run's output is shown, at once.
    if (done == 1) {
      Flush();
      ++quiet_;
    }
    status = Execute(command, error);
  }
  if (done > 1) --quiet_;
  auto end = std::chrono::steady_clock::now();
  if (status == Status::kError) {
    if (counted) *error = "run " + std::to_string(done) + " of " + std::to_string(runs) + ": " + *error;
    return false;
  }
  double ms = std::chrono::duration<double, std::milli>(end - start).count();
  char text[160];
  if (!counted) {
    std::snprintf(text, sizeof text, "time: %.3f ms\n", ms);
  } else {
    std::snprintf(text, sizeof text, "time: %s%lld runs in %.3f ms: %.3f us a run\n",
                  done < runs ? "stopped by Ctrl-C after " : "", static_cast<long long>(done), ms,
                  ms * 1000.0 / static_cast<double>(done));
  }
  Print(text);
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
  int32_t k = 2;
  for (; k <= count; ++k) {
    if (k % kInterruptStride == 0 && Interrupted()) break;
    if (tree->AppendChild(k, (k - 2) / fanout + 1) == 1) ++done;
  }
  const std::string range = "for k = 2.." + std::to_string(count) + ": ";
  const std::string stopped = k <= count ? "stopped by Ctrl-C before k = " + std::to_string(k) + "; " : "";
  Print(Label(*c) + ".SetRoot(1) = " + std::to_string(set) + "; AppendChild(k, (k-2)/" +
        std::to_string(fanout) + "+1) " + range + stopped + std::to_string(done) + " done, " +
        std::to_string(k - 2 - done) + " refused\n");
  answer_.kind = Answer::kNumber;
  answer_.value = done;
  return true;
}

bool Interpreter::AppendChildren(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t parent = 0;
  if (!ReadInt32(args[1], "PARENT", &parent, error)) return false;
  std::vector<int32_t> ids(args.size() - 2);
  for (size_t i = 2; i < args.size(); ++i) {
    if (!ReadInt32(args[i], "ID", &ids[i - 2], error)) return false;
  }
  ITreeComponent* tree = c->object;
  int64_t done = 0;
  for (int32_t id : ids) done += tree->AppendChild(id, parent) == 1 ? 1 : 0;
  answer_.kind = Answer::kNumber;
  answer_.value = done;
  if (quiet_ > 0) return true;
  std::string line = Label(*c) + ".AppendChild(k, " + std::to_string(parent) + ") for k =";
  const size_t shown = showAll_ || limit_ < 0 || ids.size() <= static_cast<size_t>(limit_)
                           ? ids.size()
                           : static_cast<size_t>(limit_);
  for (size_t i = 0; i < shown; ++i) line += " " + std::to_string(ids[i]);
  if (shown < ids.size()) line += " ... and " + std::to_string(ids.size() - shown) + " more";
  Print(line + ": " + std::to_string(done) + " done, " +
        std::to_string(static_cast<int64_t>(ids.size()) - done) + " refused\n");
  return true;
}

bool Interpreter::Expect(const Args& args, std::string* error) {
  const Token& want = args[0];
  enum { kValue, kIsNull, kNotNull } kind = kValue;
  int64_t value = 0;
  if (want.text == "null" && !want.quoted) {
    kind = kIsNull;
  } else if (want.text == "not-null" && !want.quoted) {
    kind = kNotNull;
  } else if (!ParseInteger(want.text, &value)) {
    *error = "expected a number, null or not-null for VALUE, got '" + ShortWord(want.text) + "'";
    return false;
  }
  const Args command(args.begin() + 1, args.end());
  const bool outer = expecting_;
  expecting_ = true;
  Status status = Execute(command, error);
  expecting_ = outer;
  if (status == Status::kError) return false;
  const Answer& got = answer_;
  if (got.kind == Answer::kNone) {
    *error = "'" + ShortWord(command[0].text) + "' gives no result to expect";
    return false;
  }
  bool same;
  std::string seen;
  if (got.kind == Answer::kNumber) {
    same = kind == kValue && got.value == value;
    seen = std::to_string(got.value) + (got.meaning.empty() ? "" : " (" + got.meaning + ")");
  } else {
    same = (kind == kIsNull) == (got.kind == Answer::kNull) && kind != kValue;
    seen = got.kind == Answer::kNull ? "null" : "a component";
  }
  if (!same) {
    *error = "expected " + ShortWord(want.text) + ", got " + seen + " from '" +
             CommandText(command) + "'";
    return false;
  }
  return true;
}

bool Interpreter::ExpectList(const Args& args, std::string* error) {
  const Args command(args.begin() + 1, args.end());
  const bool outer = collectEntries_;
  collectEntries_ = true;
  Status status = Execute(command, error);
  collectEntries_ = outer;
  if (status == Status::kError) return false;
  if (!answer_.hasEntries) {
    *error = "'" + ShortWord(command[0].text) + "' writes no entries to expect";
    return false;
  }
  const std::vector<std::string> want = Words(args[0].text);
  const std::vector<std::string> got = Words(answer_.entries);
  if (want == got) return true;
  const std::string wantText = Joined(want);
  const std::string gotText = Joined(got);
  if (wantText.size() <= 40 && gotText.size() <= 40) {
    *error = "expected \"" + wantText + "\", got \"" + gotText + "\"";
  } else {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    *error = "expected " + EntryCount(want.size()) + ", got " + EntryCount(got.size()) + "; entry " +
             std::to_string(i + 1) + " is " +
             (i < got.size() ? "'" + ShortWord(got[i]) + "'" : std::string("missing")) +
             ", expected " + (i < want.size() ? "'" + ShortWord(want[i]) + "'" : std::string("none"));
  }
  *error += " from '" + CommandText(command) + "'";
  return false;
}

bool Interpreter::RunFile(const std::string& path, std::string* error) {
  if (depth_ >= kMaxFileDepth) {
    *error = "files run each other more than " + std::to_string(kMaxFileDepth) + " deep";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open '" + ShortWord(path) + "'";
    return false;
  }
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
    if (quiet_ == 0) Flush();
  }
  if (hadDir) {
    variables_["SCRIPT_DIR"] = outerDir;
  } else {
    variables_.erase("SCRIPT_DIR");
  }
  rawLine_ = outerLine;
  --depth_;
  return ok;
}

bool Interpreter::Source(const Args& args, std::string* error) {
  return RunFile(args[0].text, error);
}

bool Interpreter::Save(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  ITreeComponent* tree = c->object;
  int32_t root = 0;
  int32_t count = tree->GetAllNodes(nullptr, nullptr, 0);
  std::vector<NodePair> pairs(count > 1 ? static_cast<size_t>(count) - 1 : 0);
  if (count > 0) {
    count = tree->GetAllNodes(&root, pairs.data(), static_cast<int32_t>(pairs.size()));
    if (count < 1 || static_cast<size_t>(count) - 1 != pairs.size()) {
      *error = "the tree of " + Label(*c) + " changed its count while it was read";
      return false;
    }
  }
  const std::string name = c->name.empty() ? "tree" : c->name;
  std::string text = "# The tree of " + Label(*c) + " as save wrote it: component " +
                     std::to_string(c->componentId) + ", " + std::to_string(count) + " nodes.\n" +
                     "# 'load FILE as NAME' rebuilds it into a new component NAME; 'source FILE'\n" +
                     "# into one named " + name + ".\n" + "create " +
                     std::to_string(c->componentId) + " " + std::to_string(c->creatorId) + " as " +
                     name + "\n";
  if (count > 0) {
    text += "set-root " + name + " " + std::to_string(root) + "\n";
    // Each parent's children in walk order, which is their order under it;
    // the parents in the order the walk first names them, which comes after
    // the line that appends the parent itself.
    std::unordered_map<int32_t, size_t> index;
    std::vector<int32_t> parents;
    std::vector<std::vector<int32_t>> children;
    for (const NodePair& pair : pairs) {
      auto it = index.emplace(pair.parent, parents.size()).first;
      if (it->second == parents.size()) {
        parents.push_back(pair.parent);
        children.emplace_back();
      }
      children[it->second].push_back(pair.id);
    }
    for (size_t p = 0; p < parents.size(); ++p) {
      const std::vector<int32_t>& kids = children[p];
      for (size_t at = 0; at < kids.size(); at += kSavedPerLine) {
        text += "append-children " + name + " " + std::to_string(parents[p]);
        for (size_t i = at; i < kids.size() && i < at + kSavedPerLine; ++i) {
          text += " " + std::to_string(kids[i]);
        }
        text += "\n";
      }
    }
  }
  text += "expect " + std::to_string(count) + " all-nodes " + name + " null\n";
  std::ofstream file(args[1].text, std::ios::binary);
  if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) ||
      !(file.close(), file)) {
    *error = "cannot write '" + ShortWord(args[1].text) + "'";
    return false;
  }
  Print("saved the tree of " + Label(*c) + " to " + args[1].raw + ": " + std::to_string(count) +
        " nodes" + (count > 0 ? ", root " + std::to_string(root) : std::string()) + "\n");
  return true;
}

bool Interpreter::Load(const Args& args, std::string* error) {
  const std::string& name = args[2].text;
  if (args[1].text != "as") {
    *error = "expected 'load FILE as NAME'";
    return false;
  }
  if (!IsName(name)) {
    *error = "a name begins with a letter and holds letters, digits, _ and -; got '" +
             ShortWord(name) + "'";
    return false;
  }
  for (const auto& entry : components_) {
    if (entry.second.name == name) {
      *error = "a component named '" + name + "' exists already";
      return false;
    }
  }
  if (!loadName_.empty()) {
    *error = "load cannot run inside a file being loaded";
    return false;
  }
  loadName_ = name;
  loadAlias_.clear();
  loadMade_ = false;
  ++quiet_;
  bool ok = RunFile(args[0].text, error);
  --quiet_;
  loadName_.clear();
  loadAlias_.clear();
  Component* c = nullptr;
  for (auto& entry : components_) {
    if (entry.second.name == name) c = &entry.second;
  }
  if (!ok) {
    if (c != nullptr) *error += " (" + name + " holds what was built before)";
    return false;
  }
  if (c == nullptr) {
    *error = "'" + ShortWord(args[0].text) + "' makes no component";
    return false;
  }
  int32_t root = 0;
  int32_t count = c->object->GetAllNodes(&root, nullptr, 0);
  Print("#" + std::to_string(c->number) + " " + name + ": loaded " + args[0].raw +
        ", component " + std::to_string(c->componentId) + ", " + std::to_string(count) +
        " nodes" + (count > 0 ? ", root " + std::to_string(root) : std::string()) + "\n");
  return true;
}

}  // namespace rodarove_host
