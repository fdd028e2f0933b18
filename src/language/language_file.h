// Reading a language file: its lines in the platform's 8-bit text, and its languages section.
//
// A language file is 8-bit text: the ANSI code page on Windows, UTF-8 on POSIX. A file that begins with
// the UTF-8 byte order mark is UTF-8 on every platform: the mark is skipped and, on Windows, the text is
// converted to the ANSI code page, so one shipped file serves both. Lines end with CR LF or a lone LF; a
// final line break adds no empty line.
//
// Thread contract: [any-thread]; the functions keep no state.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kvo {

// The lines of the file at `path`, untrimmed (without their line ends). False when it cannot be read.
bool ReadLanguageFileLines(const std::string& path, std::vector<std::string>& lines);

// The languages section of a language file.
struct TLanguagesSection {
  // The "Default" value, trimmed; empty when missing.
  std::string Default;
  // Every key and value of the section in file order, both trimmed.
  std::vector<std::pair<std::string, std::string>> Entries;
};

// Reads the section "[Languages]" (section and key names ignoring the case of A-Z; the first "Default"
// wins) from `lines`. A file without the section gives an empty result.
TLanguagesSection ReadLanguagesSection(const std::vector<std::string>& lines);

}  // namespace kvo
