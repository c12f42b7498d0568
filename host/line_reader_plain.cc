// Builds without libedit: the terminal's own line editing.
#include "host/line_reader.h"

namespace rodarove_host {

std::unique_ptr<LineReader> NewTerminalReader(const std::string& prompt, const std::string&,
                                              const std::vector<std::string>&) {
  return NewPlainTerminalReader(prompt);
}

bool EditsLines() { return false; }

}  // namespace rodarove_host
