// Data modules: loading hooks and the creation event after the whole constructor chain.
#include "runtime/data_module.h"

#include "runtime/publish.h"

namespace kvo {

constinit const PropInfo TDataModule::kPublished[] = {
    Publish<TDataModule>::Method<&TDataModule::OnCreate>("OnCreate"),
};
constinit const TClassInfo TDataModule::StaticClass{"TDataModule", &TComponent::StaticClass,
                                                    TDataModule::kPublished};

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {
  SetLoading(true);
}

void TDataModule::AfterConstruction() {
  TComponent::AfterConstruction();
  Loaded();
  // By index: a Loaded override may add components, which then get theirs too.
  for (int32_t i = 0; i < ComponentCount(); ++i)
    Components(i)->Loaded();
  DoCreate();
}

void TDataModule::DoCreate() {
  if (FCreated) return;
  FCreated = true;
  OnCreate(*this);
}

}  // namespace kvo
