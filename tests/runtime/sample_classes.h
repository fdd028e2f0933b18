// Classes that publish one property of every supported kind, shared by the runtime tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "params/variant.h"
#include "runtime/collection.h"
#include "runtime/component.h"
#include "runtime/enum_info.h"
#include "runtime/event.h"
#include "runtime/set.h"
#include "runtime/string_list.h"

namespace kvo::testing {

enum class TShade : uint8_t { shNone, shLight, shDark };
inline constexpr std::string_view kShadeNames[] = {"shNone", "shLight", "shDark"};
inline constexpr TEnumInfo kShadeInfo{"TShade", kShadeNames};
using TShades = TSet<TShade, uint8_t>;

class TColumn : public TCollectionItem {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  std::string Caption;
  int32_t Width = 50;

  void Assign(const TPersistent& source) override;

 private:
  static const PropInfo kPublished[];
};

// Base: accessors of every form (member functions, data members, lambdas).
class TGauge : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TGauge(TComponent* owner) : TComponent(owner) {}

  int32_t Width() const noexcept { return FWidth; }
  void SetWidth(int32_t width) noexcept { FWidth = width; }
  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }

  bool Visible = true;

 private:
  static const PropInfo kPublished[];
  int32_t FWidth = 100;
  std::string FCaption = "gauge";
};

// Derived: the remaining kinds, a read-only property and an event.
class TDialGauge : public TGauge {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TDialGauge(TComponent* owner) : TGauge(owner), FColumns(this) {}

  TStringList& Items() noexcept { return FItems; }
  const TStringList& Items() const noexcept { return FItems; }
  void SetItems(const TStrings& items) { FItems.Assign(items); }
  TCollectionOf<TColumn>& Columns() noexcept { return FColumns; }

  float MinVersion = 3.0F;
  double Ratio = 0.5;
  TShade Shade = TShade::shLight;
  TShades Shades;
  uint8_t RawShades = 0;
  Variant Extra;
  TGauge* Buddy = nullptr;
  std::unique_ptr<TGauge> Spare;
  int32_t Half = 0;  // published doubled as "Double"
  TNotifyEvent OnChange;

 private:
  static const PropInfo kPublished[];
  TStringList FItems;
  TCollectionOf<TColumn> FColumns;
};

// Declares "Width" again, read-only, to show that the most derived declaration wins.
class TFixedGauge : public TGauge {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TFixedGauge(TComponent* owner) : TGauge(owner) {}

 private:
  static const PropInfo kPublished[];
};

}  // namespace kvo::testing
