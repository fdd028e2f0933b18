// Property tables of the test classes.
#include "sample_classes.h"

#include "runtime/publish.h"

namespace kvo::testing {

constinit const PropInfo TColumn::kPublished[] = {
    Publish<TColumn>::String<&TColumn::Caption, &TColumn::Caption>("Caption"),
    Publish<TColumn>::Integer<&TColumn::Width, &TColumn::Width>("Width"),
};
constinit const TClassInfo TColumn::StaticClass{"TColumn", &TCollectionItem::StaticClass,
                                                TColumn::kPublished};

void TColumn::Assign(const TPersistent& source) {
  const auto* column = dynamic_cast<const TColumn*>(&source);
  if (column == nullptr) return TCollectionItem::Assign(source);
  Caption = column->Caption;
  Width = column->Width;
}

constinit const PropInfo TGauge::kPublished[] = {
    Publish<TGauge>::Integer<&TGauge::Width, &TGauge::SetWidth>("Width"),
    Publish<TGauge>::String<&TGauge::Caption, &TGauge::SetCaption>("Caption"),
    Publish<TGauge>::Boolean<&TGauge::Visible, &TGauge::Visible>("Visible"),
};
constinit const TClassInfo TGauge::StaticClass{"TGauge", &TComponent::StaticClass, TGauge::kPublished};

constinit const PropInfo TDialGauge::kPublished[] = {
    Publish<TDialGauge>::Float<&TDialGauge::MinVersion, &TDialGauge::MinVersion>("MinVersion"),
    Publish<TDialGauge>::Float<&TDialGauge::Ratio, &TDialGauge::Ratio>("Ratio"),
    Publish<TDialGauge>::Enumeration<&TDialGauge::Shade, &TDialGauge::Shade>("Shade", kShadeInfo),
    Publish<TDialGauge>::Set<&TDialGauge::Shades, &TDialGauge::Shades>("Shades", kShadeInfo),
    Publish<TDialGauge>::Set<&TDialGauge::RawShades, &TDialGauge::RawShades>("RawShades", kShadeInfo),
    Publish<TDialGauge>::Any<&TDialGauge::Extra, &TDialGauge::Extra>("Extra"),
    Publish<TDialGauge>::Object<&TDialGauge::FItems, &TDialGauge::SetItems>("Items"),
    Publish<TDialGauge>::Object<&TDialGauge::Buddy, &TDialGauge::Buddy>("Buddy"),
    Publish<TDialGauge>::Object<&TDialGauge::Spare>("Spare"),
    Publish<TDialGauge>::Object<&TDialGauge::FColumns>("Columns"),
    Publish<TDialGauge>::Integer<[](const TDialGauge& g) { return g.Half * 2; },
                                 [](TDialGauge& g, int32_t v) { g.Half = v / 2; }>("Double"),
    Publish<TDialGauge>::Integer<[](const TDialGauge& g) { return g.Items().Count(); }>("Count"),
    Publish<TDialGauge>::Method<&TDialGauge::OnChange>("OnChange"),
};
constinit const TClassInfo TDialGauge::StaticClass{"TDialGauge", &TGauge::StaticClass,
                                                   TDialGauge::kPublished};

constinit const PropInfo TFixedGauge::kPublished[] = {
    Publish<TFixedGauge>::Integer<[](const TFixedGauge&) { return int32_t{42}; }>("WIDTH"),
};
constinit const TClassInfo TFixedGauge::StaticClass{"TFixedGauge", &TGauge::StaticClass,
                                                    TFixedGauge::kPublished};

}  // namespace kvo::testing
