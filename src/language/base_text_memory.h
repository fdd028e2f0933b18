// The base-language texts a translator has replaced: per object, property and (for string lists) line,
// the text that stood there before the first translation, and the text the translator last put in its
// place. Every later translation starts from the remembered base text, and a translation into the base
// language puts it back, so a host may switch languages any number of times.
//
// A record counts only while the object still shows the text the translator put there (and is of the same
// class): a text that other code has changed since, or an object that has taken the place of a destroyed
// one at the same address, starts afresh from what it shows. Objects are used as keys only, never reached
// through the memory.
//
// Thread contract: used by one thread at a time (the translator's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kvo {

class TObject;
class TClassInfo;

class BaseTextMemory {
 public:
  // The remembered base text of the place when its record still holds, else `shown` (and a record that
  // no longer holds is forgotten).
  std::string BaseText(const TObject& object, std::string_view property, int32_t line,
                       const std::string& shown);
  // The place now shows `shown` in place of `base`; a place that shows its base text is forgotten.
  void Remember(const TObject& object, std::string_view property, int32_t line, const std::string& base,
                const std::string& shown);

  bool Empty() const noexcept { return records_.empty(); }
  size_t Size() const noexcept { return records_.size(); }
  void Clear() noexcept { records_.clear(); }

 private:
  struct Key {
    const void* object;
    std::string property;
    int32_t line;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const noexcept;
  };
  struct Record {
    const TClassInfo* cls;
    std::string base;
    std::string shown;
  };
  static Key MakeKey(const TObject& object, std::string_view property, int32_t line);

  std::unordered_map<Key, Record, KeyHash> records_;
};

}  // namespace kvo
