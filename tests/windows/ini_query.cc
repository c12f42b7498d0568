// Answers a fixed corpus of tricky ini files through the platform's profile
// reader (GetPrivateProfileStringA on Windows, the module's own reader
// elsewhere), so that the two can be compared case by case.
//
//   ini_query DIR             writes the corpus files into DIR and prints
//                             one answer line per case
//   ini_query DIR ANSWERS     the same, compared with the lines of the file
//                             ANSWERS; prints every case that differs and
//                             exits 1 when any does
//
// An answer line is: case name, tab, the count returned, tab, the text left
// in the buffer (escaped: \\ \t \r \n \xHH), tab, "clean" when nothing past
// the given size was written, else "overrun".
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct IniFile {
  const char* name;
  std::string bytes;
};

struct Query {
  const char* name;
  const char* file;  // one of the corpus files, or a file that is not there
  const char* section;
  const char* key;
  const char* defaultValue;
  unsigned size;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::vector<IniFile> Corpus() {
  return {
      {"basic.ini",
       "[Redirect]\n"
       "Path=cfg\\Pavex.ini\n"
       "[361]\n"
       "DLL=PavFact.dll\n"
       "NotUseDefaultDllPath=1\n"
       "[DefaultValue]\n"
       "DllPath=bin\n"},
      {"case.ini",
       "[rEdIrEcT]\n"
       "pAtH=Mixed\\Case.ini\n"
       "[361]\n"
       "dll=lower.dll\n"
       "[DEFAULTVALUE]\n"
       "DLLPATH=UPPER\n"},
      {"blanks.ini",
       "  [  361  ]  \n"
       "\t DLL \t=\t PavFact.dll \t \n"
       "NotUseDefaultDllPath =  1  \n"
       "Empty=\n"
       "OnlyBlanks=   \t  \n"
       "  Spaced Key  = spaced value  \n"
       "[Default Value]\n"
       "DllPath=with space in section\n"
       "[DefaultValue ]\n"
       "DllPath=trailing blank in section\n"},
      {"quotes.ini",
       "[361]\n"
       "Double=\"quoted value\"\n"
       "Single='single quoted'\n"
       "Padded=  \" padded inside \"  \n"
       "Mismatched=\"open single'\n"
       "OpenOnly=\"open\n"
       "CloseOnly=close\"\n"
       "Lone=\"\n"
       "EmptyQuotes=\"\"\n"
       "Inner=\"a\" b \"c\"\n"
       "Middle=a \"b\" c\n"
       "QuotedKey\"=x\n"
       "\"KeyInQuotes\"=y\n"},
      {"duplicates.ini",
       "[361]\n"
       "DLL=first.dll\n"
       "DLL=second.dll\n"
       "dll=third.dll\n"
       "[Other]\n"
       "DLL=other.dll\n"
       "[361]\n"
       "DLL=second-section.dll\n"
       "OnlyInSecond=found\n"
       "[Redirect]\n"
       "Path=\n"
       "[redirect]\n"
       "Path=second.ini\n"},
      {"crlf.ini",
       "[Redirect]\r\n"
       "Path=crlf\\Pavex.ini\r\n"
       "[361]\r\n"
       "DLL=PavFact.dll\r\n"
       "Trail=value with trailing blank \r\n"
       "Empty=\r\n"},
      {"mixed_ends.ini",
       "[361]\r\n"
       "DLL=crlf.dll\r\n"
       "Lf=lf\n"
       "Cr=cr\r"
       "AfterCr=after\n"
       "[DefaultValue]\r\r\n"
       "DllPath=double cr\r\r\n"},
      {"no_final_end.ini",
       "[361]\n"
       "DLL=last line without end"},
      {"no_final_end_crlf.ini",
       "[Redirect]\r\n"
       "Path=x\r\n"
       "[361]\r\n"
       "DLL=PavFact.dll"},
      {"section_last.ini",
       "[361]\n"
       "DLL=a.dll\n"
       "[DefaultValue]"},
      {"comments.ini",
       "; [361]\n"
       "; DLL=commented.dll\n"
       "# hash line\n"
       "[Redirect]\n"
       ";Path=commented\n"
       "  ; Path=indented comment\n"
       "#Path=hash\n"
       "Path=real ; not a comment\n"
       "[361] ; trailing text after the section\n"
       "DLL=PavFact.dll ; kept\n"
       "NotUseDefaultDllPath=1;x\n"
       "//DllPath=slashes\n"
       "[DefaultValue]junk\n"
       "DllPath=bin # hash kept\n"},
      {"odd_lines.ini",
       "Key=before any section\n"
       "[361\n"
       "DLL=after unclosed section\n"
       "[361]\n"
       "line without equals\n"
       "=value without key\n"
       "DLL=a=b=c\n"
       "NoValue\n"
       "Equals==double\n"
       "[]\n"
       "Key=empty section name\n"
       "[[Nested]]\n"
       "Key=nested\n"
       "[ Spaced ] extra ] more\n"
       "Key=spaced\n"},
      {"before_section.ini",
       "DLL=orphan.dll\n"
       "Path=orphan\n"
       "[Redirect]\n"
       "Other=1\n"},
      {"bom.ini",
       "\xEF\xBB\xBF[361]\n"
       "DLL=after bom.dll\n"},
      {"long.ini",
       "[361]\n"
       "DLL=" + Repeat('a', 1500) + "\n"
       "Exact259=" + Repeat('b', 259) + "\n"
       "Exact260=" + Repeat('c', 260) + "\n"
       "Exact1023=" + Repeat('d', 1023) + "\n"
       "Exact1024=" + Repeat('e', 1024) + "\n"
       "Quoted=\"" + Repeat('f', 300) + "\"\n"
       "Short=\"abc\"\n"
       "Huge=" + Repeat('g', 70000) + "\n"
       "AfterHuge=still read\n"
       "[" + Repeat('S', 300) + "]\n"
       "Key=long section\n"
       "[DefaultValue]\n" +
       Repeat('K', 300) + "=long key\n"},
      {"empty.ini", ""},
      {"blank_lines.ini",
       "\n\n   \n\t\n[361]\n\n\nDLL=after blanks\n\n"},
      {"tabs_in_value.ini",
       "[361]\n"
       "DLL=a\tb\n"
       "Lead=\t\tlead\n"},
      {"shadow.ini",
       "[361]\n"
       "DLL\n"
       "DLL=shadowed.dll\n"
       "[Key=v\n"
       "Other=after bracket key\n"},
      {"spaces.ini",
       "[361]\n"
       "\x0b" "DLL\x0c=\x1a" "vertical and form feed\x0b\n"
       "Eof=\x1a" "ctrl z\x1a\n"},
      {"empty_name.ini",
       "[]\n"
       "Key=only in the empty-named section\n"},
      {"binary.ini",
       std::string("[361]\nDLL=before") + std::string(1, '\0') + "after\nNext=next\n"},
  };
}

// A name of 300 equal characters, as the long.ini corpus file uses.
const char* LongName(char c) {
  static std::map<char, std::string> names;
  std::string& name = names[c];
  if (name.empty()) name = Repeat(c, 300);
  return name.c_str();
}

std::vector<Query> Queries() {
  return {
      {"basic.redirect", "basic.ini", "Redirect", "Path", "", 260},
      {"basic.dll", "basic.ini", "361", "DLL", "", 1024},
      {"basic.flag", "basic.ini", "361", "NotUseDefaultDllPath", "0", 1024},
      {"basic.dllpath", "basic.ini", "DefaultValue", "DllPath", "", 260},
      {"basic.missing_key", "basic.ini", "361", "Missing", "fallback", 260},
      {"basic.missing_section", "basic.ini", "Nowhere", "DLL", "fallback", 260},
      {"basic.default_trailing_blanks", "basic.ini", "361", "Missing", "def  ", 260},
      {"basic.default_leading_blanks", "basic.ini", "361", "Missing", "  def", 260},
      {"basic.default_trailing_tab", "basic.ini", "361", "Missing", "def\t", 260},
      {"basic.default_null", "basic.ini", "361", "Missing", nullptr, 260},
      {"basic.default_cut", "basic.ini", "361", "Missing", "0123456789", 5},
      {"basic.size1", "basic.ini", "361", "DLL", "", 1},
      {"basic.size2", "basic.ini", "361", "DLL", "", 2},
      {"basic.size_exact", "basic.ini", "361", "DLL", "", 11},
      {"basic.size_fits", "basic.ini", "361", "DLL", "", 12},
      {"case.section_and_key", "case.ini", "Redirect", "Path", "", 260},
      {"case.dll_upper_query", "case.ini", "361", "DLL", "", 1024},
      {"case.dllpath", "case.ini", "defaultvalue", "dllpath", "", 260},
      {"blanks.dll", "blanks.ini", "361", "DLL", "", 1024},
      {"blanks.flag", "blanks.ini", "361", "NotUseDefaultDllPath", "0", 1024},
      {"blanks.empty", "blanks.ini", "361", "Empty", "def", 260},
      {"blanks.only_blanks", "blanks.ini", "361", "OnlyBlanks", "def", 260},
      {"blanks.spaced_key", "blanks.ini", "361", "Spaced Key", "", 260},
      {"blanks.section_with_space", "blanks.ini", "Default Value", "DllPath", "", 260},
      {"blanks.section_trailing_blank", "blanks.ini", "DefaultValue", "DllPath", "", 260},
      {"blanks.query_padded_key", "blanks.ini", "361", " DLL ", "def", 260},
      {"blanks.query_padded_section", "blanks.ini", " 361 ", "DLL", "def", 260},
      {"quotes.double", "quotes.ini", "361", "Double", "", 260},
      {"quotes.single", "quotes.ini", "361", "Single", "", 260},
      {"quotes.padded", "quotes.ini", "361", "Padded", "", 260},
      {"quotes.mismatched", "quotes.ini", "361", "Mismatched", "", 260},
      {"quotes.open_only", "quotes.ini", "361", "OpenOnly", "", 260},
      {"quotes.close_only", "quotes.ini", "361", "CloseOnly", "", 260},
      {"quotes.lone", "quotes.ini", "361", "Lone", "", 260},
      {"quotes.empty", "quotes.ini", "361", "EmptyQuotes", "def", 260},
      {"quotes.inner", "quotes.ini", "361", "Inner", "", 260},
      {"quotes.middle", "quotes.ini", "361", "Middle", "", 260},
      {"quotes.key_with_quote", "quotes.ini", "361", "QuotedKey\"", "def", 260},
      {"quotes.key_in_quotes", "quotes.ini", "361", "KeyInQuotes", "def", 260},
      {"quotes.double_cut", "quotes.ini", "361", "Double", "", 6},
      {"quotes.double_size_exact", "quotes.ini", "361", "Double", "", 13},
      {"duplicates.first_key", "duplicates.ini", "361", "DLL", "", 1024},
      {"duplicates.only_in_second", "duplicates.ini", "361", "OnlyInSecond", "def", 260},
      {"duplicates.other", "duplicates.ini", "Other", "DLL", "", 260},
      {"duplicates.redirect", "duplicates.ini", "Redirect", "Path", "def", 260},
      {"crlf.redirect", "crlf.ini", "Redirect", "Path", "", 260},
      {"crlf.dll", "crlf.ini", "361", "DLL", "", 1024},
      {"crlf.trail", "crlf.ini", "361", "Trail", "", 260},
      {"crlf.empty", "crlf.ini", "361", "Empty", "def", 260},
      {"mixed.crlf", "mixed_ends.ini", "361", "DLL", "", 260},
      {"mixed.lf", "mixed_ends.ini", "361", "Lf", "", 260},
      {"mixed.cr", "mixed_ends.ini", "361", "Cr", "", 260},
      {"mixed.after_cr", "mixed_ends.ini", "361", "AfterCr", "def", 260},
      {"mixed.double_cr", "mixed_ends.ini", "DefaultValue", "DllPath", "", 260},
      {"no_final_end.dll", "no_final_end.ini", "361", "DLL", "", 1024},
      {"no_final_end_crlf.dll", "no_final_end_crlf.ini", "361", "DLL", "", 1024},
      {"section_last.dllpath", "section_last.ini", "DefaultValue", "DllPath", "def", 260},
      {"section_last.dll", "section_last.ini", "361", "DLL", "", 260},
      {"comments.redirect", "comments.ini", "Redirect", "Path", "", 260},
      {"comments.hash_key", "comments.ini", "Redirect", "#Path", "def", 260},
      {"comments.semicolon_key", "comments.ini", "Redirect", ";Path", "def", 260},
      {"comments.dll", "comments.ini", "361", "DLL", "", 1024},
      {"comments.flag", "comments.ini", "361", "NotUseDefaultDllPath", "0", 1024},
      {"comments.slashes", "comments.ini", "361", "//DllPath", "def", 260},
      {"comments.dllpath", "comments.ini", "DefaultValue", "DllPath", "", 260},
      {"odd.before_section", "odd_lines.ini", "", "Key", "def", 260},
      {"odd.unclosed_section", "odd_lines.ini", "361", "DLL", "", 260},
      {"odd.after_unclosed_section", "odd_lines.ini", "", "DLL", "def", 260},
      {"odd.unclosed_section_name", "odd_lines.ini", "[361", "DLL", "def", 260},
      {"odd.empty_key", "odd_lines.ini", "361", "", "def", 260},
      {"odd.no_value", "odd_lines.ini", "361", "NoValue", "def", 260},
      {"odd.line_without_equals", "odd_lines.ini", "361", "line without equals", "def", 260},
      {"odd.double_equals", "odd_lines.ini", "361", "Equals", "", 260},
      {"odd.nested", "odd_lines.ini", "[Nested]", "Key", "def", 260},
      {"odd.nested_inner", "odd_lines.ini", "[Nested", "Key", "def", 260},
      {"odd.spaced_extra", "odd_lines.ini", "Spaced", "Key", "def", 260},
      {"before.redirect", "before_section.ini", "Redirect", "Path", "def", 260},
      {"before.empty_section", "before_section.ini", "", "DLL", "def", 260},
      {"bom.dll", "bom.ini", "361", "DLL", "", 260},
      {"long.dll_1024", "long.ini", "361", "DLL", "", 1024},
      {"long.dll_260", "long.ini", "361", "DLL", "", 260},
      {"long.exact259_260", "long.ini", "361", "Exact259", "", 260},
      {"long.exact260_260", "long.ini", "361", "Exact260", "", 260},
      {"long.exact1023_1024", "long.ini", "361", "Exact1023", "", 1024},
      {"long.exact1024_1024", "long.ini", "361", "Exact1024", "", 1024},
      {"long.quoted_cut", "long.ini", "361", "Quoted", "", 260},
      {"long.quoted_fits", "long.ini", "361", "Quoted", "", 1024},
      {"long.short_quoted_cut3", "long.ini", "361", "Short", "", 3},
      {"long.short_quoted_cut4", "long.ini", "361", "Short", "", 4},
      {"long.short_quoted_fits", "long.ini", "361", "Short", "", 5},
      {"long.huge", "long.ini", "361", "Huge", "", 1024},
      {"long.after_huge", "long.ini", "361", "AfterHuge", "def", 260},
      {"long.long_section", "long.ini", LongName('S'), "Key", "def", 260},
      {"long.long_key", "long.ini", "DefaultValue", LongName('K'), "def", 260},
      {"empty.dll", "empty.ini", "361", "DLL", "def", 260},
      {"blank_lines.dll", "blank_lines.ini", "361", "DLL", "", 260},
      {"tabs.inner_tab", "tabs_in_value.ini", "361", "DLL", "", 260},
      {"tabs.leading_tabs", "tabs_in_value.ini", "361", "Lead", "", 260},
      {"shadow.key_without_value_first", "shadow.ini", "361", "DLL", "def", 260},
      {"shadow.bracket_key", "shadow.ini", "361", "[Key", "def", 260},
      {"shadow.after_bracket_key", "shadow.ini", "361", "Other", "def", 260},
      {"spaces.other_blanks", "spaces.ini", "361", "DLL", "def", 260},
      {"spaces.ctrl_z", "spaces.ini", "361", "Eof", "def", 260},
      {"empty_name.key", "empty_name.ini", "", "Key", "def", 260},
      {"empty_name.blank_query", "empty_name.ini", "  ", "Key", "def", 260},
      {"binary.dll", "binary.ini", "361", "DLL", "", 260},
      {"binary.next", "binary.ini", "361", "Next", "def", 260},
      {"missing.file", "no_such_file.ini", "361", "DLL", "fallback", 260},
      {"missing.file_flag_default", "no_such_file.ini", "361", "NotUseDefaultDllPath", "0", 1024},
      {"missing.file_empty_default", "no_such_file.ini", "Redirect", "Path", "", 260},
      {"missing.folder", "no_such_folder/x.ini", "361", "DLL", "fallback", 260},
  };
}

#if defined(_WIN32)
const char kSeparator = '\\';
// Host paths from the build system start with '/'; under Wine the host's
// root is drive Z:.
std::string NativePath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}
#else
const char kSeparator = '/';
std::string NativePath(std::string path) { return path; }
#endif

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool WriteCorpus(const std::string& dir) {
  for (const IniFile& f : Corpus()) {
    std::ofstream out(dir + kSeparator + f.name, std::ios::binary | std::ios::trunc);
    out.write(f.bytes.data(), static_cast<std::streamsize>(f.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s%c%s\n", dir.c_str(), kSeparator, f.name);
      return false;
    }
  }
  return true;
}

std::string Answer(const std::string& dir, const Query& q) {
  const unsigned kGuard = 16;
  std::vector<char> buf(q.size + kGuard, '#');
  std::string path = dir + kSeparator + q.file;
  for (char& c : path) {
    if (c == '/') c = kSeparator;
  }
  unsigned n = rodarove::platform::GetProfileString(q.section, q.key, q.defaultValue, buf.data(),
                                                    q.size, path.c_str());
  size_t len = 0;
  while (len < q.size && buf[len] != '\0') ++len;
  bool clean = true;
  for (unsigned i = q.size; i < q.size + kGuard; ++i) clean = clean && buf[i] == '#';
  std::string text(buf.data(), len);
  if (len == q.size) text += "<unterminated>";
  return std::string(q.name) + "\t" + std::to_string(n) + "\t" + Escape(text) + "\t" +
         (clean ? "clean" : "overrun");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: ini_query DIR [ANSWERS]\n");
    return 2;
  }
  std::string dir = NativePath(argv[1]);
  if (!WriteCorpus(dir)) return 2;
  std::vector<std::string> answers;
  for (const Query& q : Queries()) answers.push_back(Answer(dir, q));
  if (argc == 2) {
    for (const std::string& a : answers) std::printf("%s\n", a.c_str());
    return 0;
  }

  std::ifstream in(NativePath(argv[2]), std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  std::map<std::string, std::string> expected;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    expected[line.substr(0, line.find('\t'))] = line;
  }
  int differ = 0;
  for (const std::string& a : answers) {
    std::string name = a.substr(0, a.find('\t'));
    auto it = expected.find(name);
    if (it == expected.end()) {
      std::printf("NO ANSWER ON RECORD %s\n  got      %s\n", name.c_str(), a.c_str());
      ++differ;
    } else if (it->second != a) {
      std::printf("DIFFERS %s\n  expected %s\n  got      %s\n", name.c_str(), it->second.c_str(),
                  a.c_str());
      ++differ;
    }
    if (it != expected.end()) expected.erase(it);
  }
  for (const auto& left : expected) {
    std::printf("NOT ASKED %s\n", left.first.c_str());
    ++differ;
  }
  std::printf("%zu cases, %d differ\n", answers.size(), differ);
  return differ == 0 ? 0 : 1;
}
