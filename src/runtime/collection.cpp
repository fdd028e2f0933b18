// Collections own their items; items find their position through their collection.
#include "runtime/collection.h"

#include <algorithm>
#include <string>

#include "runtime/runtime_errors.h"

namespace kvo {

constinit const TClassInfo TCollectionItem::StaticClass{"TCollectionItem", &TPersistent::StaticClass};
constinit const TClassInfo TCollection::StaticClass{"TCollection", &TPersistent::StaticClass};

int32_t TCollectionItem::Index() const noexcept {
  if (FCollection == nullptr) return -1;
  const auto& items = FCollection->FItems;
  const auto it =
      std::find_if(items.begin(), items.end(), [this](const auto& item) { return item.get() == this; });
  return it == items.end() ? -1 : static_cast<int32_t>(it - items.begin());
}

TPersistent* TCollectionItem::GetOwner() const noexcept {
  return FCollection;
}

TCollectionItem& TCollection::Items(int32_t index) const {
  if (index < 0 || index >= Count()) {
    throw EListError("Collection index out of bounds (" + std::to_string(index) + ")");
  }
  return *FItems[static_cast<size_t>(index)];
}

TCollectionItem& TCollection::Add() {
  std::unique_ptr<TCollectionItem> item = FFactory();
  item->FCollection = this;
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TCollection::Delete(int32_t index) {
  Items(index);  // range check
  FItems.erase(FItems.begin() + index);
}

void TCollection::Assign(const TPersistent& source) {
  const auto* collection = dynamic_cast<const TCollection*>(&source);
  if (collection == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (collection == this) return;
  Clear();
  for (int32_t i = 0; i < collection->Count(); ++i)
    Add().Assign(collection->Items(i));
}

}  // namespace kvo
