// The process-wide application object.
#include "runtime/application.h"

#include <utility>

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

TApplication::THelpEvent TApplication::SetHelpHandler(THelpEvent handler) {
  std::lock_guard<std::mutex> guard(FTextLock);
  THelpEvent previous = std::move(FHelpHandler);
  FHelpHandler = std::move(handler);
  return previous;
}

bool TApplication::HelpCommand(uint16_t command, int32_t data) {
  THelpEvent handler;
  {
    std::lock_guard<std::mutex> guard(FTextLock);
    handler = FHelpHandler;
  }
  if (!handler) return false;
  bool call_help = false;
  return handler(command, data, call_help);
}

TApplication& Application() {
  static TApplication application;
  return application;
}

}  // namespace kvo
