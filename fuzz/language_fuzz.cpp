// Property: any language file loads without a crash, and LookupTranslation finds every text the table
// took, or gives the text back unchanged; EncodeText gives a key without control characters that
// DecodeText turns back into the text (when the text holds no "%" with two hexadecimal digits of its own),
// and the flags tell whether the text had an "&" or a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "language/language_file.h"
#include "language/language_text.h"
#include "language/wtransl.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool HasOwnEscape(std::string_view text) {
  for (size_t i = 0; i + 2 < text.size(); ++i)
    if (text[i] == '%' && IsHex(text[i + 1]) && IsHex(text[i + 2])) return true;
  return false;
}

void CheckTextForms(std::string_view text) {
  for (const bool strip : {false, true}) {
    const kvo::TEncodedText encoded = kvo::EncodeText(text, strip);
    bool control = false;
    for (const char c : text)
      control = control || static_cast<unsigned char>(c) < 32;
    Check(encoded.HasControl == control);
    Check(encoded.HasAmpersand == (text.find('&') != std::string_view::npos));
    for (const char c : encoded.Key)
      Check(static_cast<unsigned char>(c) >= 32);
    if (strip) Check(encoded.Key.find('&') == std::string::npos);
    // Stripping "&" can join a "%" and two hexadecimal digits into an escape of the text's own.
    const std::string expected = strip ? kvo::WithoutAmpersands(text) : std::string(text);
    if (!HasOwnEscape(expected)) Check(kvo::DecodeText(encoded.Key, false, true) == expected);
  }
  Check(kvo::DecodeText(text, false, false) == text);
  Check(kvo::DecodeText(text, true, false) == kvo::WithoutAmpersands(text));
  const std::string decoded = kvo::DecodeText(text, true, true);
  Check(decoded.size() <= text.size());
  const std::string_view trimmed = kvo::TrimText(text);
  if (!trimmed.empty()) {
    Check(static_cast<unsigned char>(trimmed.front()) > 32 &&
          static_cast<unsigned char>(trimmed.back()) > 32);
  }
}

// Made on first use and never destroyed, so the exit handler that removes it can still read it.
const std::filesystem::path& Folder() {
  static const std::filesystem::path* folder = [] {
    auto* path =
        new std::filesystem::path(std::filesystem::temp_directory_path() /
                                  ("kvo-fuzz-language-" + std::to_string(static_cast<long>(::getpid()))));
    std::filesystem::create_directories(*path);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return path;
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckTextForms(input.substr(0, 256));

  const std::filesystem::path file = Folder() / "fuzz.lng";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  std::vector<std::string> lines;
  Check(kvo::ReadLanguageFileLines(file.string(), lines));
  const kvo::TLanguagesSection section = kvo::ReadLanguagesSection(lines);
  (void)section;

  for (const char* language : {"DE", "de", "FR"}) {
    kvo::TWtransl translator(nullptr);
    // Directives may ask for collected texts: they go beside this file, in the scratch folder.
    translator.LanguageFile = file.string();
    std::string default_language;
    translator.GetLanguages(nullptr, default_language);
    Check(translator.LoadTranslationTable(file.string(), "EN", language));
    const kvo::TStringList& sources = *translator.SourceLngList();
    Check(sources.Count() == translator.TargetLngList()->Count());
    for (int32_t i = 0; i < sources.Count() && i < 64; ++i) {
      std::string text = kvo::DecodeText(sources.Get(i), false, true);
      std::string translated;
      bool found = false;
      translator.LookupTranslation(text, translated, found);
      // A key whose decoded text trims to something else cannot be found by its own text.
      if (!HasOwnEscape(sources.Get(i)) && kvo::TrimText(text) == text && !text.empty() &&
          kvo::EncodeText(text, true).Key == kvo::WithoutAmpersands(sources.Get(i))) {
        Check(found);
      }
    }
    for (const std::string& line : lines) {
      std::string translated;
      bool found = false;
      translator.LookupTranslation(line, translated, found);
      if (!found) Check(translated == line);
    }
  }
  return 0;
}
