// Property: two parameter lists driven by add/set/lookup/append/new-row/clear operations hold exactly what a
// plain vector model says (blank names are not added, lookups fold A-Z only and the first match wins).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "params/params_list.h"
#include "params/variant.h"

namespace {

struct Entry {
  std::string name;
  kvo::Variant value;
};
using Model = std::vector<Entry>;

using kvo::fuzz::Bytes;
using kvo::fuzz::Check;

// A small alphabet so that names collide, differ only in case, or are blank.
std::string MakeName(Bytes& in) {
  static constexpr char kAlphabet[] = {'a', 'A', 'b', 'B', '$', ' ', '\t', '\xe9', 'z', 'Z', '\0', '_'};
  const uint8_t length = in.Next() % 6;
  std::string name;
  for (uint8_t i = 0; i < length; ++i)
    name += kAlphabet[in.Next() % sizeof kAlphabet];
  if (in.Next() == 0xFF) name = std::string(kvo::kNewRowMarker);
  return name;
}

kvo::Variant MakeValue(Bytes& in) {
  const uint8_t kind = in.Next() % 7;
  const int32_t number = static_cast<int8_t>(in.Next());
  switch (kind) {
    case 0:
      return kvo::Variant();
    case 1:
      return kvo::Variant::Null();
    case 2:
      return kvo::Variant::FromInt(number * 1000003);
    case 3:
      return kvo::Variant::FromDouble(number / 7.0);
    case 4:
      return kvo::Variant::FromBool((number & 1) != 0);
    case 5:
      return kvo::Variant::FromText(MakeName(in));
    default:
      return kvo::Variant::FromAnsiString(MakeName(in));
  }
}

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

bool Blank(std::string_view name) {
  for (const char c : name)
    if (static_cast<unsigned char>(c) > 32) return false;
  return true;
}

int32_t ModelIndexOf(const Model& model, std::string_view name, int32_t from, int32_t to) {
  const int32_t count = static_cast<int32_t>(model.size());
  const int32_t first = from < 0 ? 0 : from;
  const int32_t last = (to >= 0 && to < count) ? to : count - 1;
  const std::string key = Fold(name);
  for (int32_t i = first; i <= last; ++i)
    if (Fold(model[static_cast<size_t>(i)].name) == key) return i;
  return -1;
}

bool SameValue(const kvo::Variant& a, const kvo::Variant& b) {
  if (a.type() != b.type()) return false;
  if (kvo::IsMissing(a)) return true;
  return a.ToText() == b.ToText();
}

kvo::Variant Normalized(kvo::Variant value) {
  value.NormalizeStringKind();
  return value;
}

void CheckSame(const kvo::TParamsList& list, const Model& model) {
  Check(list.Count() == static_cast<int32_t>(model.size()));
  for (int32_t i = 0; i < list.Count(); ++i) {
    const kvo::TParamsListElement* element = list.Element(i);
    const Entry& entry = model[static_cast<size_t>(i)];
    Check(element->Name() == entry.name);
    Check(SameValue(element->Value(), entry.value));
    Check(element->IsRowMarker() == (entry.name == kvo::kNewRowMarker));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  kvo::TParamsList plain;
  kvo::TRowsParamsList rows;
  kvo::TParamsList* lists[2] = {&plain, &rows};
  Model models[2];
  for (int steps = 0; !in.empty() && steps < 512; ++steps) {
    const uint8_t op = in.Next();
    const int which = op >> 7;
    kvo::TParamsList& list = *lists[which];
    Model& model = models[which];
    switch (op % 8) {
      case 0: {  // add
        const std::string name = MakeName(in);
        kvo::Variant value = MakeValue(in);
        const kvo::TParamsListElement* added = list.Add(name, value);
        Check((added == nullptr) == Blank(name));
        if (added) model.push_back({name, Normalized(std::move(value))});
        break;
      }
      case 1: {  // set by name
        const std::string name = MakeName(in);
        const kvo::Variant value = MakeValue(in);
        const bool add_if_missing = (in.Next() & 1) != 0;
        const kvo::TParamsListElement* set = list.SetValueByName(name, value, add_if_missing);
        const int32_t index = ModelIndexOf(model, name, 0, -1);
        if (index >= 0) {
          model[static_cast<size_t>(index)].value = Normalized(value);
          Check(set == list.Element(index));
        } else if (add_if_missing && !Blank(name)) {
          model.push_back({name, Normalized(value)});
          Check(set != nullptr);
        } else {
          Check(set == nullptr);
        }
        break;
      }
      case 2: {  // lookup in a range
        const std::string name = MakeName(in);
        const int32_t from = static_cast<int8_t>(in.Next()) % 12;
        const int32_t to = static_cast<int8_t>(in.Next()) % 12;
        const int32_t index = ModelIndexOf(model, name, from, to);
        Check(list.IndexOfName(name, from, to) == index);
        const kvo::Variant found = list.ValueByName(name, from, to);
        Check(index < 0 ? found.type() == 0 : SameValue(found, model[static_cast<size_t>(index)].value));
        break;
      }
      case 3:  // new row
        list.NewRow();
        model.push_back({std::string(kvo::kNewRowMarker), kvo::Variant::Null()});
        break;
      case 4: {  // append the other list or this one
        const int source = (in.Next() & 1) != 0 ? which : 1 - which;
        const Model copy = models[source];
        // Appending a list to itself doubles it: keep the lists small enough to stay fast.
        if (model.size() + copy.size() > 256) break;
        list.AppendList(lists[source]);
        if (!copy.empty()) {
          for (const Entry& entry : copy)
            model.push_back({entry.name, entry.value});
          if (copy.back().name != kvo::kNewRowMarker)
            model.push_back({std::string(kvo::kNewRowMarker), kvo::Variant::Null()});
        }
        break;
      }
      case 5:  // clear
        list.Clear();
        model.clear();
        Check(list.Count() == 0 && list.Capacity() == 0);
        break;
      default: {  // overwrite one element in place
        if (model.empty()) break;
        const size_t index = in.Next() % model.size();
        kvo::Variant value = MakeValue(in);
        list.Element(static_cast<int32_t>(index))->SetValue(value);
        model[index].value = Normalized(std::move(value));
        break;
      }
    }
    CheckSame(list, model);
  }
  CheckSame(plain, models[0]);
  CheckSame(rows, models[1]);
  Check(plain.Signature() == kvo::kParamsListSignature && rows.IsRowsList() && !plain.IsRowsList());
  return 0;
}
