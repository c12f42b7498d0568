// The command table put together, and what is looked up in it: commands by
// name, the nearest ones to a mistyped word, and the meanings of results.
#include "host/command_table.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace rodarove_host {

namespace {

// The edit distance between a and b (insertions, deletions, substitutions
// and swaps of two neighbours), or limit + 1 once it is more than limit.
size_t Distance(const std::string& a, const std::string& b, size_t limit) {
  const size_t n = a.size();
  const size_t m = b.size();
  if ((n > m ? n - m : m - n) > limit) return limit + 1;
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return std::min(d[n][m], limit + 1);
}

// The commands named like word, in table order; empty when none is near or
// too many are.
std::vector<std::string> NearestCommands(const std::string& word) {
  // Words this far from a command, or further, suggest nothing.
  const size_t limit = word.size() <= 3 ? 1 : 2;
  size_t best = limit + 1;
  std::vector<std::string> nearest;
  for (const Command& c : Commands()) {
    if (*c.summary == '\0') continue;  // an alias
    const std::string name = c.name;
    size_t d = Distance(word, name, limit);
    // A beginning of three letters or more is as near as one edit.
    if (d > 1 && word.size() >= 3 && name.compare(0, word.size(), word) == 0) d = 1;
    if (d == 0 || d > best) continue;
    if (d < best) {
      best = d;
      nearest.clear();
    }
    nearest.push_back(name);
  }
  if (nearest.size() > 4) nearest.clear();  // too many to be a hint
  return nearest;
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = [] {
    std::vector<Command> rows;
    AddSlotCommands(&rows);
    AddHostCommands(&rows);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Command& a, const Command& b) { return a.group < b.group; });
    return rows;
  }();
  return table;
}

const Command* FindCommand(const std::string& name) {
  static const std::unordered_map<std::string, const Command*> byName = [] {
    std::unordered_map<std::string, const Command*> map;
    for (const Command& c : Commands()) map.emplace(c.name, &c);
    return map;
  }();
  auto it = byName.find(name);
  return it != byName.end() ? it->second : nullptr;
}

std::string SuggestionFor(const std::string& word) {
  const std::vector<std::string> nearest = NearestCommands(word);
  if (nearest.empty()) return " (try 'help')";
  std::string out = " (did you mean ";
  for (size_t i = 0; i < nearest.size(); ++i) {
    if (i > 0) out += i + 1 == nearest.size() ? " or " : ", ";
    out += "'" + nearest[i] + "'";
  }
  return out + "?)";
}

const char* GroupHeading(Group group) {
  switch (group) {
    case Group::kComponents: return "components";
    case Group::kEdits: return "tree edits";
    case Group::kLookups: return "lookups";
    case Group::kLists: return "lists";
    case Group::kExports: return "the module";
    case Group::kViews: return "views";
    case Group::kScripts: return "scripts";
    case Group::kSession: return "session";
  }
  return "";
}

std::string WithLimits(const char* text) {
  static const struct {
    const char* name;
    int64_t value;
  } kLimits[] = {{"{ID_LIMIT}", RODAROVE_ARRAY_ID_LIMIT},
                 {"{ID_MAX}", RODAROVE_ARRAY_ID_LIMIT - 1},
                 {"{MAX_GENERATE}", kMaxGenerate},
                 {"{LIST_LIMIT}", kListLimit},
                 {"{PATH_BYTES}", static_cast<int64_t>(RODAROVE_PATH_SIZE)}};
  std::string out = text;
  for (const auto& limit : kLimits) {
    const std::string value = Grouped(limit.value);
    for (size_t at = out.find(limit.name); at != std::string::npos;
         at = out.find(limit.name, at + value.size())) {
      out.replace(at, std::strlen(limit.name), value);
    }
  }
  return out;
}

std::string BriefMeaning(const Command& c, int32_t componentId, int64_t value) {
  for (const Meaning& m : c.results) {
    if (m.componentId != 0 && m.componentId != componentId) continue;
    if (value < m.low || value > m.high) continue;
    return m.brief != nullptr ? m.brief : "";
  }
  return "";
}

}  // namespace rodarove_host
