// TStrings: the ordered list of texts that object-valued properties hold (a combo box's items, a string
// holder's lines, a property map), with its whole-text form.
//
// Text: every line followed by CR LF ("" for no lines). Setting Text splits at CR LF, a lone CR or a lone
// LF; a final break adds no empty line. Letter case is ignored for A-Z (IndexOf, sorting).
//
// Thread contract: a list is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/persistent.h"

namespace kvo {

class TStrings : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  virtual int32_t Count() const noexcept = 0;
  // Raise EStringListError for an index out of range.
  virtual const std::string& Get(int32_t index) const = 0;
  virtual void Put(int32_t index, std::string_view text) = 0;
  virtual void Insert(int32_t index, std::string_view text) = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Clear() = 0;

  // Appends (a sorted list inserts in order); returns the line's index.
  virtual int32_t Add(std::string_view text);
  // The first line equal to `text` ignoring the case of A-Z, or -1.
  virtual int32_t IndexOf(std::string_view text) const;

  const std::string& operator[](int32_t index) const { return Get(index); }

  std::string Text() const;
  void SetText(std::string_view text);

  // A TStrings source replaces all lines; other sources go to the base.
  void Assign(const TPersistent& source) override;
};

}  // namespace kvo
