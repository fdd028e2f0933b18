// TBigIniFile: an INI file held whole in memory and written back whole, only when something changed.
//
// It is the INI back end of component property persistence, which opens one store on the configured file
// for each load or save and then destroys it; the file is read once on opening and written at most once.
// The operating system's profile functions are not used.
//
// Reading keeps every non-empty line of a section as it is (comments included), and of sections with
// equal names (letter case ignored) only the first stays. Lines before the first section header (the
// comments a person wrote at the top) belong to no section, but are kept as they are, empty lines
// included, and written back at the top. Writing puts those lines, then "[name]", the section's lines and
// one empty line for each section that has lines, with CR LF line ends, and replaces the file
// crash-safely: a failed save leaves the previous file as it was.
// Section and key names ignore letter case in the user's locale (on POSIX: A-Z only, so UTF-8 stays
// intact). Values are stored as given; escaping is the business of the layer above.
//
// Thread contract: a store is used by one thread at a time and takes no locks (even reads move the
// section search position). Two stores on one file do not see each other's changes; the one written last
// replaces the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/exceptions.h"
#include "settings/section_list.h"

namespace kvo {

// The file of a store could not be read or written; the message names the file and the cause.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

class TBigIniFile {
 public:
  // Bytes read or written per step.
  static constexpr int32_t TextBufferSize = 0x7000;

  // Opens the store on `file_name` as SetFileName does. Throws EInOutError when an existing file cannot
  // be read.
  explicit TBigIniFile(std::string_view file_name);
  // Writes the file if modified. A failure is swallowed here; call UpdateFile first to learn of it.
  ~TBigIniFile();
  TBigIniFile(const TBigIniFile&) = delete;
  TBigIniFile& operator=(const TBigIniFile&) = delete;

  const std::string& FileName() const noexcept { return FFileName; }
  // Saves the previous file (UpdateFile, whose EInOutError propagates and leaves the store as it was),
  // empties the store and reads `file_name` when it is not empty and exists. A missing file gives an
  // empty store. Modified ends up false. Throws EInOutError when an existing file cannot be read.
  void SetFileName(std::string_view file_name);
  // Writes the file when Modified and FileName is not empty, then clears Modified (also without a
  // file name). Throws EInOutError when the file cannot be written; Modified then stays set and the
  // previous file is untouched.
  void UpdateFile();

  bool Modified() const noexcept { return FModified; }
  int32_t LastSectionIndex() const noexcept { return FLastSectionIndex; }
  // The sections as read and written; changes made through this do not set Modified.
  TSectionList& Sections() noexcept { return FSections; }
  const TSectionList& Sections() const noexcept { return FSections; }

  // Everything after the first "=" of the key's line; `default_value` for a missing section or key.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value);
  // A decimal number, or a hexadecimal one after "$" or "0x"; `default_value` when there is none.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value);
  // A number with "." or "," as the decimal separator; `default_value` when empty or not a number.
  double ReadFloat(std::string_view section, std::string_view key, double default_value);
  // True when the section has a line whose name (the text before "=") is `key`, letter case ignored.
  bool ValueExists(std::string_view section, std::string_view key);
  // Appends to `names` the non-empty name of every line of the section; nothing for a missing section.
  void ReadSection(std::string_view section, std::vector<std::string>& names);

  // Sets the line key + "=" + value, creating the section at the end and the line at the end of the
  // section when missing. An unchanged line (compared with letter case) leaves the store unmodified.
  // An empty key erases the section, unless section and value are empty too: that saves (UpdateFile).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // The number as FloatText writes it: plain decimals unless the exponent is below -5 or at least 15, the
  // fewest digits that read back the same, "." as separator. NaN and the infinities are written as "nan"
  // and "inf", which read back as the default.
  void WriteFloat(std::string_view section, std::string_view key, double value);

  // Removes the key's line. A missing section is created empty, which is not written.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes the section and its lines; nothing happens when it does not exist.
  void EraseSection(std::string_view section);

 private:
  struct TFound {
    TSectionList::TLines* Lines = nullptr;
    int32_t KeyIndex = -1;
  };

  TFound Find(std::string_view section, std::string_view key, bool create);
  // The text after "=" of the key's line, or false; the view lives until the store changes.
  bool FindValue(std::string_view section, std::string_view key, std::string_view& value);
  void ReadFile();
  std::string FileText() const;

  std::string FFileName;
  bool FModified = false;
  int32_t FLastSectionIndex = 0;
  TSectionList FSections;
  std::vector<std::string> FPreamble;  // the lines before the first section header, as read
};

// The integer forms ReadInteger reads: decimal, or hexadecimal after "$" or "0x"; false when `text` is
// none of them (then `result` is unchanged).
bool IniIntegerFromText(std::string_view text, int32_t& result);

}  // namespace kvo
