// The commands for scripts: checks, repetition and bulk building.
#include <chrono>
#include <cstdio>
#include <sstream>

#include "host/command_table.h"
#include "host/host_platform.h"

namespace rodarove_host {

namespace {

// The most runs time makes of one command.
constexpr int64_t kMaxRuns = 1000000000;
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

// A duration in the unit that puts it between 1 and 1000: s, ms, us or ns.
std::string Duration(double seconds) {
  static const char* const kUnits[] = {"s", "ms", "us", "ns"};
  size_t unit = 0;
  while (unit + 1 < sizeof kUnits / sizeof kUnits[0] && seconds < 1.0) {
    seconds *= 1000.0;
    ++unit;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%.3f %s", seconds, kUnits[unit]);
  return text;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace

bool Echo(Session& s, const Args&, std::string*) {
  // The rest of the line as written, after the command word.
  const std::string& line = s.rawLine();
  size_t at = line.find("echo");
  std::string text = at == std::string::npos ? "" : line.substr(at + 4);
  size_t first = text.find_first_not_of(" \t");
  text = first == std::string::npos ? "" : text.substr(first);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  s.Print(text + "\n");
  return true;
}

bool Time(Session& s, const Args& args, std::string* error) {
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
  if (inner != nullptr && inner->run == &Quit) {
    *error = "time cannot run '" + command[0].text + "'";
    return false;
  }
  auto start = std::chrono::steady_clock::now();
  int64_t done = 0;
  Mode quiet = s.mode();
  quiet.quiet = true;
  Session::Status status = Session::Status::kOk;
  for (; done < runs && status == Session::Status::kOk; ++done) {
    if (done > 0 && s.Interrupted()) break;
    // Only the first run's output is shown, at once.
    if (done == 1) s.Flush();
    status = s.Execute(done == 0 ? s.mode() : quiet, command, error);
  }
  auto end = std::chrono::steady_clock::now();
  if (status == Session::Status::kError) {
    if (counted)
      *error = "run " + std::to_string(done) + " of " + std::to_string(runs) + ": " + *error;
    return false;
  }
  const double seconds = std::chrono::duration<double>(end - start).count();
  if (!counted) {
    s.Print("time: " + Duration(seconds) + "\n");
  } else {
    s.Print("time: " + std::string(done < runs ? "stopped by Ctrl-C after " : "") +
            std::to_string(done) + (done == 1 ? " run in " : " runs in ") + Duration(seconds) +
            ": " + Duration(seconds / static_cast<double>(done)) + " a run\n");
  }
  return true;
}

bool Generate(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t count = 0;
  int32_t fanout = 2;
  if (!s.ReadInt32(args[1], "COUNT", &count, error)) return false;
  if (args.size() > 2 && !s.ReadInt32(args[2], "FANOUT", &fanout, error)) return false;
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
    *error = "generate needs an empty tree; " + s.Label(*c) + " has root " + std::to_string(root);
    return false;
  }
  int32_t set = tree->SetRoot(1);
  int64_t done = 0;
  int32_t k = 2;
  for (; k <= count; ++k) {
    if (k % kInterruptStride == 0 && s.Interrupted()) break;
    if (tree->AppendChild(k, (k - 2) / fanout + 1) == 1) ++done;
  }
  const std::string range = "for k = 2.." + std::to_string(count) + ": ";
  const std::string stopped =
      k <= count ? "stopped by Ctrl-C before k = " + std::to_string(k) + "; " : "";
  s.Print(s.Label(*c) + ".SetRoot(1) = " + std::to_string(set) + "; AppendChild(k, (k-2)/" +
          std::to_string(fanout) + "+1) " + range + stopped + std::to_string(done) + " done, " +
          std::to_string(k - 2 - done) + " refused\n");
  s.answer().kind = Answer::kNumber;
  s.answer().value = done;
  return true;
}

bool AppendChildren(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t parent = 0;
  if (!s.ReadInt32(args[1], "PARENT", &parent, error)) return false;
  std::vector<int32_t> ids(args.size() - 2);
  for (size_t i = 2; i < args.size(); ++i) {
    if (!s.ReadInt32(args[i], "ID", &ids[i - 2], error)) return false;
  }
  ITreeComponent* tree = c->object;
  int64_t done = 0;
  for (int32_t id : ids) done += tree->AppendChild(id, parent) == 1 ? 1 : 0;
  s.answer().kind = Answer::kNumber;
  s.answer().value = done;
  if (s.mode().quiet) return true;
  std::string line = s.Label(*c) + ".AppendChild(k, " + std::to_string(parent) + ") for k =";
  const size_t shown =
      s.mode().showAll || s.limit() < 0 || ids.size() <= static_cast<size_t>(s.limit())
          ? ids.size()
          : static_cast<size_t>(s.limit());
  for (size_t i = 0; i < shown; ++i) line += " " + std::to_string(ids[i]);
  if (shown < ids.size()) line += " ... and " + std::to_string(ids.size() - shown) + " more";
  s.Print(line + ": " + std::to_string(done) + " done, " +
          std::to_string(static_cast<int64_t>(ids.size()) - done) + " refused\n");
  return true;
}

bool Expect(Session& s, const Args& args, std::string* error) {
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
  Mode expecting = s.mode();
  expecting.expecting = true;
  if (s.Execute(expecting, command, error) == Session::Status::kError) return false;
  const Answer& got = s.answer();
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

bool ExpectList(Session& s, const Args& args, std::string* error) {
  const Args command(args.begin() + 1, args.end());
  Mode collecting = s.mode();
  collecting.collectEntries = true;
  if (s.Execute(collecting, command, error) == Session::Status::kError) return false;
  if (!s.answer().hasEntries) {
    *error = "'" + ShortWord(command[0].text) + "' writes no entries to expect";
    return false;
  }
  const std::vector<std::string> want = Words(args[0].text);
  const std::vector<std::string> got = Words(s.answer().entries);
  if (want == got) return true;
  const std::string wantText = Joined(want);
  const std::string gotText = Joined(got);
  if (wantText.size() <= 40 && gotText.size() <= 40) {
    *error = "expected \"" + wantText + "\", got \"" + gotText + "\"";
  } else {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    *error = "expected " + EntryCount(want.size()) + ", got " + EntryCount(got.size()) +
             "; entry " + std::to_string(i + 1) + " is " +
             (i < got.size() ? "'" + ShortWord(got[i]) + "'" : std::string("missing")) +
             ", expected " +
             (i < want.size() ? "'" + ShortWord(want[i]) + "'" : std::string("none"));
  }
  *error += " from '" + CommandText(command) + "'";
  return false;
}

}  // namespace rodarove_host
