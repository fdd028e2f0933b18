// TWtransl: the translator component. It reads a language file that lies beside the module into a table
// of base-language texts and their translations, walks a form or data module and replaces every text that
// has a translation; directives in the file switch it into a collecting mode in which it changes nothing
// but gathers the texts a translator still has to translate (or the entries no text used) and writes them
// to a companion file when it is destroyed.
//
// Language switches: the translator remembers, per object, property and list line, the base-language text
// it replaced the first time, and every later translation starts from that text; a translation into the
// base language puts the remembered texts back. A text that has no translation in the target language
// shows its base-language text.
//
// The walk (which objects and properties a translation visits, the markers that keep components out of
// it) is in translate_walk.cpp; the file format in language_file.h; the lookup keys in language_text.h.
//
// Thread contract: not guarded; a translation runs entirely on the calling thread and changes the visited
// objects, so one thread at a time uses the translator and the objects it translates.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "language/base_text_memory.h"
#include "language/language_text.h"
#include "runtime/class_info.h"
#include "runtime/component.h"
#include "runtime/event.h"
#include "runtime/string_list.h"

namespace kvo {

// The hooks of the walk. `source` and `target` are the translation table (entry i of `source` is a
// base-language text, entry i of `target` its translation); they exist only while a translation runs.
using TBeforeTranslateComponentEvent =
    Event<void(TObject& sender, TObject& comp, TStrings* source, TStrings* target, bool& allow)>;
using TCustomTranslateEvent = Event<void(TObject& sender, TObject& comp, TStrings* source, TStrings* target)>;
using TCustomObjectPropertyTranslateEvent =
    Event<void(TObject& sender, const std::string& prop, TObject* obj, TStrings* source, TStrings* target)>;
// `old_value` is the text the translation starts from (the base-language text), `new_value` the text it
// would write, which the handler may change; `do_default` false keeps the object's text as it is.
using TPropertyTranslateEvent =
    Event<void(TObject& sender, TObject& obj, const PropInfo* pi, const std::string& old_value,
               std::string& new_value, bool found, bool& do_default)>;
using TAfterTranslateEvent = Event<void(TObject& sender, TStrings* source, TStrings* target)>;

// The collecting modes (directives "//saveuntr" and the like) and the ways of opening the collected file.
enum TSaveMode : int32_t {
  smNone = 0,
  smUntranslated = 1,
  smAll = 2,
  smUnused = 3,
  smUntranslatedPlaces = 4
};
enum TFileMode : int32_t { fmNew = 0, fmRewrite = 1, fmAppend = 2 };

// Components with this tag are left out of a translation with everything they own; with kTagOwnedOnly
// only their own properties are left out.
inline constexpr int32_t kTagNoTranslation = 9999;
inline constexpr int32_t kTagOwnedOnly = 9998;

class TWtransl : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TWtransl(TComponent* owner);
  // Writes the collected texts (SaveCollectedTexts); never fails outwards.
  ~TWtransl() override;

  // --- published ---
  // Names of the properties translated on every visited object (letter case ignored).
  TStringList ComponentProperties;
  // Copies `names`.
  void SetComponentProperties(const TStringList& names) { ComponentProperties.Assign(names); }
  // Path of the language file; empty means no file.
  std::string LanguageFile = "app.lng";

  TBeforeTranslateComponentEvent OnBeforeTranslateComponent;
  TCustomTranslateEvent OnCustomTranslate;
  TCustomObjectPropertyTranslateEvent OnCustomObjectPropertyTranslate;
  // The slot of the walk's property hook: a translation puts CollectText (collecting) or nothing here for
  // its duration, and the handler assigned before afterwards.
  TPropertyTranslateEvent OnPropertyTranslate;
  TAfterTranslateEvent OnAfterTranslate;
  // Not published: an owned component for which it answers true is left out of the walk with
  // everything it owns, as a Tag of 9999 would (a form that another thread is showing, say).
  std::function<bool(const TComponent& component)> LeaveOut;

  // The language the texts stand in (the plug-in module sets "EN"); a translation into it restores the
  // remembered base-language texts.
  std::string FBaseLanguage;

  // --- operations ---
  // Translates `component` and what it owns into `language` from `base_language` (FBaseLanguage when
  // empty), or every form of the application when `component` is null. Exceptions of the hooks pass on.
  void Translate(const std::string& language, TComponent* component, const std::string& base_language = {});
  // The languages section of LanguageFile: `list` (when given) receives "code,label" for every "$code"
  // key with a value; `default_language` the "Default" value (empty when missing).
  void GetLanguages(TStrings* list, std::string& default_language) const;
  // Fills the table from `file_name` with the blocks that have a `base_language` and a `language` text,
  // and takes the directives of its first nine lines. False (table unchanged) when the file cannot be read.
  bool LoadTranslationTable(const std::string& file_name, const std::string& base_language,
                            const std::string& language);
  // The translation of `text` (blanks around it and the place of its "&" ignored); `new_text` is `text`
  // when there is none.
  void LookupTranslation(const std::string& text, std::string& new_text, bool& found) const;
  static TEncodedText EncodeText(std::string_view text, bool strip_ampersands) {
    return kvo::EncodeText(text, strip_ampersands);
  }
  static std::string DecodeText(std::string_view text, bool strip_ampersands, bool decode_escapes) {
    return kvo::DecodeText(text, strip_ampersands, decode_escapes);
  }
  // The property hook while a collecting mode is on: keeps the text and gathers it as the mode says.
  void CollectText(TObject& sender, TObject& obj, const PropInfo* pi, const std::string& old_value,
                   std::string& new_value, bool found, bool& do_default);
  // Writes the collected texts to LanguageFile + ".new" (".unused" for the unused entries). Failures are
  // swallowed.
  void SaveCollectedTexts(const std::string& language, const std::string& base_language);

  // --- the walk (translate_walk.cpp) ---
  // The listed properties of one object, with the hooks around it.
  void TranslateObject(TObject& obj);
  // The components `owner` owns, by their markers, and what they own in turn.
  void TranslateOwned(TComponent& owner);
  // One named property: a text, a collection's items or a string list's lines.
  void TranslateProperty(TObject& obj, std::string_view prop_name);

  // --- state, for the owner and tests ---
  TSaveMode SaveMode() const noexcept { return FSaveMode; }
  TFileMode FileMode() const noexcept { return FFileMode; }
  const TStringList& Collected() const noexcept { return FCollected; }
  const std::string& LastLanguage() const noexcept { return FLastLanguage; }
  const std::string& LastBaseLanguage() const noexcept { return FLastBaseLanguage; }
  // The table; null outside a translation (until LoadTranslationTable is called directly).
  TStringList* SourceLngList() const noexcept { return FSourceLngList.get(); }
  TStringList* TargetLngList() const noexcept { return FTargetLngList.get(); }
  const BaseTextMemory& BaseTexts() const noexcept { return FBaseTexts; }

 private:
  static const PropInfo kPublished[];
  class TranslationScope;

  void TakeDirective(std::string_view line);
  void TranslateLines(TObject& obj, const PropInfo& pi, TStrings& lines);

  std::unique_ptr<TStringList> FSourceLngList;
  std::unique_ptr<TStringList> FTargetLngList;
  TStringList FCollected;
  std::string FLastLanguage;
  std::string FLastBaseLanguage;
  TSaveMode FSaveMode = smNone;
  TFileMode FFileMode = fmNew;
  BaseTextMemory FBaseTexts;
};

}  // namespace kvo
