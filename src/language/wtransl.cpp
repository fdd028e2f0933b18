// The translator component: the top-level translation, the table, lookups and the collected texts.
#include "language/wtransl.h"

#include <utility>
#include <vector>

#include "forms/form.h"
#include "language/language_file.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "runtime/application.h"
#include "runtime/publish.h"

namespace kvo {
namespace {

constexpr size_t kDirectiveLines = 9;
constexpr size_t kDirectiveWidth = 50;

struct Directive {
  std::string_view text;
  bool save;  // sets the save mode, else the file mode
  int32_t mode;
};
constexpr Directive kDirectives[] = {
    {"//filenew", false, fmNew},
    {"//filerewrite", false, fmRewrite},
    {"//fileappend", false, fmAppend},
    {"//saveuntr", true, smUntranslated},
    {"//saveall", true, smAll},
    {"//saveunused", true, smUnused},
    {"//saveuntrobj", true, smUntranslatedPlaces},
};

// `name` with ".k" put before its last extension: app.lng.new gives app.lng.1.new.
std::string NumberedName(const std::string& name, int number) {
  const size_t slash = name.find_last_of("/\\");
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = name.size();
  std::string numbered(name, 0, dot);
  numbered += '.';
  numbered += std::to_string(number);
  numbered.append(name, dot, std::string::npos);
  return numbered;
}

// True when `text` without its "&" is `key`; compares in place, since a lookup tests every table entry.
bool EqualsWithoutAmpersands(std::string_view text, std::string_view key) noexcept {
  if (text.size() < key.size()) return false;
  size_t k = 0;
  for (const char c : text) {
    if (c == '&') continue;
    if (k == key.size() || key[k] != c) return false;
    ++k;
  }
  return k == key.size();
}

}  // namespace

constinit const PropInfo TWtransl::kPublished[] = {
    Publish<TWtransl>::Object<&TWtransl::ComponentProperties, &TWtransl::SetComponentProperties>(
        "ComponentProperties"),
    Publish<TWtransl>::String<&TWtransl::LanguageFile, &TWtransl::LanguageFile>("LanguageFile"),
    Publish<TWtransl>::Method<&TWtransl::OnBeforeTranslateComponent>("OnBeforeTranslateComponent"),
    Publish<TWtransl>::Method<&TWtransl::OnCustomTranslate>("OnCustomTranslate"),
    Publish<TWtransl>::Method<&TWtransl::OnCustomObjectPropertyTranslate>("OnCustomObjectPropertyTranslate"),
    Publish<TWtransl>::Method<&TWtransl::OnPropertyTranslate>("OnPropertyTranslate"),
    Publish<TWtransl>::Method<&TWtransl::OnAfterTranslate>("OnAfterTranslate"),
};
constinit const TClassInfo TWtransl::StaticClass{"TWtransl", &TComponent::StaticClass, TWtransl::kPublished};

// Holds what a translation changes on the translator and puts it back on every way out: the property
// hook's handler, and the table, which exists only while the translation runs.
class TWtransl::TranslationScope {
 public:
  explicit TranslationScope(TWtransl& translator)
      : translator_(translator), saved_hook_(std::move(translator.OnPropertyTranslate)) {
    translator_.OnPropertyTranslate = nullptr;
    translator_.FSourceLngList = std::make_unique<TStringList>();
    translator_.FTargetLngList = std::make_unique<TStringList>();
  }
  TranslationScope(const TranslationScope&) = delete;
  TranslationScope& operator=(const TranslationScope&) = delete;
  ~TranslationScope() {
    translator_.OnPropertyTranslate = std::move(saved_hook_);
    translator_.FSourceLngList.reset();
    translator_.FTargetLngList.reset();
  }

 private:
  TWtransl& translator_;
  TPropertyTranslateEvent saved_hook_;
};

TWtransl::TWtransl(TComponent* owner) : TComponent(owner) {
  for (const char* name : {"CAPTION", "HINT", "TEXT", "TITLE", "CAPTIONS"})
    ComponentProperties.Add(name);
}

TWtransl::~TWtransl() {
  try {
    SaveCollectedTexts(FLastLanguage, FLastBaseLanguage);
  } catch (...) {
    // The translator goes in any case.
  }
}

void TWtransl::Translate(const std::string& language, TComponent* component,
                         const std::string& base_language) {
  // Into the base language: only the remembered texts go back; nothing is loaded or collected.
  const bool to_base = FBaseLanguage == language;
  if (to_base && (FBaseTexts.Empty() || FSaveMode != smNone)) return;
  const std::string base = base_language.empty() ? FBaseLanguage : base_language;
  if (!to_base) {
    FLastLanguage = language;
    FLastBaseLanguage = base;
  }
  TranslationScope scope(*this);
  if (!to_base) LoadTranslationTable(LanguageFile, base, language);
  if (FSaveMode != smNone) {
    OnPropertyTranslate = [this](TObject& sender, TObject& obj, const PropInfo* pi,
                                 const std::string& old_value, std::string& new_value, bool found,
                                 bool& do_default) {
      CollectText(sender, obj, pi, old_value, new_value, found, do_default);
    };
  }
  // With nothing to translate and nothing to put back the walk would change nothing.
  if (FSaveMode == smNone && FSourceLngList->Count() == 0 && FBaseTexts.Empty()) return;

  if (component) {
    if (component->Tag() != kTagOwnedOnly) TranslateObject(*component);
    TranslateOwned(*component);
  } else {
    TApplication& application = Application();
    for (int32_t i = 0; i < application.ComponentCount(); ++i) {
      auto* form = dynamic_cast<TCustomForm*>(application.Components(i));
      if (!form || form->Tag() == kTagNoTranslation) continue;
      if (form->Tag() != kTagOwnedOnly) TranslateObject(*form);
      TranslateOwned(*form);
      platform::ProcessPendingEvents();
    }
    if (FSaveMode != smNone) FBaseLanguage = language;
  }
  OnAfterTranslate(*this, FSourceLngList.get(), FTargetLngList.get());
}

void TWtransl::GetLanguages(TStrings* list, std::string& default_language) const {
  if (list) list->Clear();
  default_language.clear();
  std::vector<std::string> lines;
  if (!ReadLanguageFileLines(LanguageFile, lines)) return;
  TLanguagesSection section = ReadLanguagesSection(lines);
  default_language = std::move(section.Default);
  if (!list) return;
  for (const auto& [key, value] : section.Entries) {
    if (key.size() > 0 && key.front() == '$' && !value.empty()) list->Add(key.substr(1) + "," + value);
  }
}

void TWtransl::TakeDirective(std::string_view line) {
  const std::string_view head = line.substr(0, kDirectiveWidth);
  for (const Directive& directive : kDirectives) {
    if (head != directive.text) continue;
    if (directive.save) {
      FSaveMode = static_cast<TSaveMode>(directive.mode);
    } else {
      FFileMode = static_cast<TFileMode>(directive.mode);
    }
  }
}

bool TWtransl::LoadTranslationTable(const std::string& file_name, const std::string& base_language,
                                    const std::string& language) {
  if (!FSourceLngList) FSourceLngList = std::make_unique<TStringList>();
  if (!FTargetLngList) FTargetLngList = std::make_unique<TStringList>();
  std::vector<std::string> lines;
  if (!ReadLanguageFileLines(file_name, lines)) return false;
  FSourceLngList->Clear();
  FTargetLngList->Clear();
  const std::string source_prefix = base_language + ":>";
  const std::string target_prefix = language + ":>";
  std::vector<std::string_view> block;
  for (size_t number = 1; number <= lines.size(); ++number) {
    const std::string_view line = TrimText(lines[number - 1]);
    if (number <= kDirectiveLines) TakeDirective(line);
    if (line.starts_with("//")) continue;
    if (!line.empty()) {
      block.push_back(line);
      continue;
    }
    std::string_view source;
    std::string_view target;
    for (const std::string_view entry : block) {
      if (entry.starts_with(source_prefix)) {
        source = entry.substr(source_prefix.size());
      } else if (entry.starts_with(target_prefix)) {
        target = entry.substr(target_prefix.size());
      }
    }
    if (!source.empty() && !target.empty()) {
      FSourceLngList->Add(source);
      FTargetLngList->Add(target);
    }
    block.clear();
  }
  // A last block with no empty line after it is not taken.
  return true;
}

void TWtransl::LookupTranslation(const std::string& text, std::string& new_text, bool& found) const {
  new_text = text;
  found = false;
  const std::string_view trimmed = TrimText(text);
  if (trimmed.empty() || !FSourceLngList || !FTargetLngList) return;
  const TEncodedText key = kvo::EncodeText(trimmed, true);
  const int32_t count = FSourceLngList->Count();
  for (int32_t i = 0; i < count; ++i) {
    if (!EqualsWithoutAmpersands(FSourceLngList->Get(i), key.Key)) continue;
    found = true;
    const std::string& target = i < FTargetLngList->Count() ? FTargetLngList->Get(i) : text;
    new_text = key.HasAmpersand ? target : WithoutAmpersands(target);
    new_text = kvo::DecodeText(new_text, !key.HasAmpersand, key.HasControl);
    return;
  }
}

void TWtransl::CollectText(TObject&, TObject& obj, const PropInfo* pi, const std::string& old_value,
                           std::string&, bool found, bool& do_default) {
  do_default = false;
  if (old_value.empty() || !HasAsciiLetter(old_value)) return;
  const std::string key = kvo::EncodeText(old_value, false).Key;
  switch (FSaveMode) {
    case smUntranslated:
      if (!found && FCollected.IndexOf(key) < 0) FCollected.Add(key);
      break;
    case smUntranslatedPlaces:
      if (!found && FCollected.IndexOf(key) < 0) {
        const auto* component = dynamic_cast<const TComponent*>(&obj);
        std::string place = component ? component->Name() : std::string(obj.ClassName());
        if (pi) place = place.empty() ? std::string(pi->Name) : place + "." + std::string(pi->Name);
        FCollected.Add(place.empty() ? key : place + "=" + key);
      }
      break;
    case smUnused: {
      if (FCollected.Count() == 0) {
        if (FSourceLngList) FCollected.Assign(*FSourceLngList);
        // Keeps the list from being refilled once every entry has been used.
        FCollected.Add("");
      }
      const int32_t index = FCollected.IndexOf(key);
      if (index >= 0) FCollected.Delete(index);
      break;
    }
    case smAll:
    case smNone:
      break;
  }
}

void TWtransl::SaveCollectedTexts(const std::string& language, const std::string& base_language) {
  try {
    if (FSaveMode == smNone || FCollected.Count() == 0) return;
    const std::string name = LanguageFile + (FSaveMode == smUnused ? ".unused" : ".new");
    std::string file = name;
    if (FFileMode == fmNew) {
      for (int number = 1; platform::FileExists(file); ++number)
        file = NumberedName(name, number);
    }
    const bool existed = platform::FileExists(file);
    std::string text;
    if (!existed) {
      text += "[Languages]\r\n";
      text += "$" + base_language + " = #1\r\n";
      text += "$" + language + " = #2 (Default)\r\n";
      text += "Default = " + language + "\r\n";
      text += "\r\n";
    }
    FCollected.SetSorted(true);
    for (int32_t i = 0; i < FCollected.Count(); ++i) {
      const std::string& entry = FCollected.Get(i);
      if (entry.empty()) continue;
      text += base_language + ":>" + entry + "\r\n";
      text += language + ":>\r\n";
      text += "\r\n";
    }
    text += "\r\n";
    platform::WriteFileBytes(file, text, FFileMode == fmAppend);
  } catch (...) {
    // An unwritable file is not reported.
  }
}

}  // namespace kvo
