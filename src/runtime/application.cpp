// The process-wide application object.
#include "runtime/application.h"

#include "runtime/publish.h"

namespace kvo {

constinit const PropInfo TApplication::kPublished[] = {
    Publish<TApplication>::String<&TApplication::Title, &TApplication::SetTitle>("Title"),
    Publish<TApplication>::String<&TApplication::HelpFile, &TApplication::SetHelpFile>("HelpFile"),
};
constinit const TClassInfo TApplication::StaticClass{"TApplication", &TComponent::StaticClass,
                                                     TApplication::kPublished};

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  Terminate();
  // While this class's members still exist: owned components may read the title as they go.
  DestroyComponents();
}

std::string TApplication::Title() const {
  std::lock_guard<std::mutex> guard(FTextLock);
  return FTitle;
}

void TApplication::SetTitle(std::string_view title) {
  std::lock_guard<std::mutex> guard(FTextLock);
  FTitle.assign(title);
}

std::string TApplication::HelpFile() const {
  std::lock_guard<std::mutex> guard(FTextLock);
  return FHelpFile;
}

void TApplication::SetHelpFile(std::string_view help_file) {
  std::lock_guard<std::mutex> guard(FTextLock);
  FHelpFile.assign(help_file);
}

TApplication& Application() {
  static TApplication application;
  return application;
}

}  // namespace kvo
