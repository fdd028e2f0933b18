// Collections: a persistent list of items of one class that the collection creates and owns, each item
// with published properties of its own (a list view's columns, for instance), so that a walk over an
// object's properties can visit every item.
//
// Thread contract: a collection and its items are used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/persistent.h"

namespace kvo {

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  TCollection* Collection() const noexcept { return FCollection; }
  // Position in the collection, or -1 outside one.
  int32_t Index() const noexcept;
  TPersistent* GetOwner() const noexcept override;

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
};

class TCollection : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  using ItemFactory = std::unique_ptr<TCollectionItem> (*)();
  // The factory of items of class ItemT, for the constructor.
  template <typename ItemT>
  static ItemFactory ItemClass() noexcept {
    return []() -> std::unique_ptr<TCollectionItem> { return std::make_unique<ItemT>(); };
  }

  // `owner` is the object whose property the collection is (may be null).
  TCollection(TPersistent* owner, ItemFactory factory) noexcept : FOwner(owner), FFactory(factory) {}

  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  // Raises EListError for an index out of range.
  TCollectionItem& Items(int32_t index) const;
  // Appends a new item of the collection's item class.
  TCollectionItem& Add();
  void Delete(int32_t index);
  void Clear() noexcept { FItems.clear(); }

  TPersistent* GetOwner() const noexcept override { return FOwner; }
  // A TCollection source: as many new items as it has, each assigned from its counterpart.
  void Assign(const TPersistent& source) override;

 private:
  friend class TCollectionItem;
  TPersistent* FOwner;
  ItemFactory FFactory;
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
};

// A collection with typed access to its items.
template <typename ItemT>
class TCollectionOf : public TCollection {
 public:
  explicit TCollectionOf(TPersistent* owner) noexcept : TCollection(owner, ItemClass<ItemT>()) {}
  ItemT& Items(int32_t index) const { return static_cast<ItemT&>(TCollection::Items(index)); }
  ItemT& Add() { return static_cast<ItemT&>(TCollection::Add()); }
};

}  // namespace kvo
