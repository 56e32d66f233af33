#include "vmconvert/RunReport.h"

#include <cstdio>

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      // Paths and texts are in the program's code page: each byte is kept
      // as the character of that value.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

bool RunReport::Write(const std::string& path) const {
  std::string j = "{\n";
  j += "  \"command\": " + Quoted(command) + ",\n";
  j += "  \"source\": " + Quoted(source) + ",\n";
  j += "  \"target\": " + Quoted(target) + ",\n";
  j += std::string("  \"dry_run\": ") + (dryRun ? "true" : "false") + ",\n";
  j += "  \"records_compared\": " + std::to_string(compared) + ",\n";
  j += "  \"records_beyond_source_end\": " + std::to_string(beyondSourceEnd) + ",\n";
  j += "  \"records_beyond_target_end\": " + std::to_string(beyondTargetEnd) + ",\n";
  j += "  \"fields_written\": {";
  const char* separator = "";
  for (const auto& f : fieldsWritten) {
    j += separator + Quoted(f.first) + ": " + std::to_string(f.second);
    separator = ", ";
  }
  j += "},\n  \"warnings\": [";
  separator = "";
  for (const std::string& w : warnings) {
    j += separator + Quoted(w);
    separator = ", ";
  }
  j += std::string("],\n  \"cancelled\": ") + (cancelled ? "true" : "false") + ",\n";
  j += "  \"swap\": " + Quoted(swap) + ",\n  \"swap_copies\": [";
  separator = "";
  for (const auto& c : copies) {
    j += separator + std::string("[") + Quoted(c.first) + ", " + Quoted(c.second) + "]";
    separator = ", ";
  }
  j += "],\n  \"swap_error\": " + Quoted(swapError) + ",\n";
  char seconds_[32];
  std::snprintf(seconds_, sizeof seconds_, "%.3f", seconds);
  j += std::string("  \"seconds\": ") + seconds_ + ",\n";
  j += "  \"exit_status\": " + std::to_string(status) + "\n}\n";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool whole = std::fwrite(j.data(), 1, j.size(), file) == j.size();
  return std::fclose(file) == 0 && whole;
}
