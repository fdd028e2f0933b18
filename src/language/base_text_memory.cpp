// Remembered base-language texts.
#include "language/base_text_memory.h"

#include <functional>

#include "runtime/object.h"

namespace kvo {

size_t BaseTextMemory::KeyHash::operator()(const Key& key) const noexcept {
  size_t hash = std::hash<const void*>()(key.object);
  hash ^= std::hash<std::string>()(key.property) + 0x9e3779b9u + (hash << 6) + (hash >> 2);
  hash ^= std::hash<int32_t>()(key.line) + 0x9e3779b9u + (hash << 6) + (hash >> 2);
  return hash;
}

BaseTextMemory::Key BaseTextMemory::MakeKey(const TObject& object, std::string_view property, int32_t line) {
  // Property names are found ignoring the case of A-Z, so one place has one key.
  std::string name(property);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return Key{&object, std::move(name), line};
}

std::string BaseTextMemory::BaseText(const TObject& object, std::string_view property, int32_t line,
                                     const std::string& shown) {
  if (records_.empty()) return shown;
  const auto it = records_.find(MakeKey(object, property, line));
  if (it == records_.end()) return shown;
  if (it->second.cls == &object.ClassType() && it->second.shown == shown) return it->second.base;
  records_.erase(it);
  return shown;
}

void BaseTextMemory::Remember(const TObject& object, std::string_view property, int32_t line,
                              const std::string& base, const std::string& shown) {
  Key key = MakeKey(object, property, line);
  if (base == shown) {
    records_.erase(key);
    return;
  }
  records_.insert_or_assign(std::move(key), Record{&object.ClassType(), base, shown});
}

}  // namespace kvo
