// Published tables of the non-visual components.
#include "forms/nonvisual.h"

#include <mutex>
#include <utility>

#include "platform/module.h"
#include "runtime/application.h"
#include "runtime/publish.h"

namespace kvo {

namespace {
const TStringList& StringsOf(const TStrHolder& h) {
  return h.Strings();
}
}  // namespace

constinit const PropInfo TStrHolder::kPublished[] = {
    Publish<TStrHolder>::Object<&StringsOf, &TStrHolder::SetStrings>("Strings"),
    Publish<TStrHolder>::Object<&StringsOf, &TStrHolder::SetStrings>("Lines"),
};
constinit const TClassInfo TStrHolder::StaticClass{"TStrHolder", &TComponent::StaticClass,
                                                   TStrHolder::kPublished};

constinit const PropInfo THtmlHelp::kPublished[] = {
    Publish<THtmlHelp>::String<&THtmlHelp::ChmFile, &THtmlHelp::SetChmFile>("ChmFile"),
    Publish<THtmlHelp>::String<&THtmlHelp::WinDef, &THtmlHelp::SetWinDef>("WinDef"),
    Publish<THtmlHelp>::Boolean<&THtmlHelp::DefaultFile, &THtmlHelp::SetDefaultFile>("DefaultFile"),
};
constinit const TClassInfo THtmlHelp::StaticClass{"THtmlHelp", &TComponent::StaticClass,
                                                  THtmlHelp::kPublished};

// What the application object holds: the component's handler, reached through a link that outlives
// the component so a handler kept elsewhere never calls into a destroyed one.
struct THtmlHelp::Link {
  std::recursive_mutex lock;          // held while the component answers, so it is not destroyed meanwhile
  THtmlHelp* component = nullptr;     // guarded by lock; null once the component is gone
  TApplication::THelpEvent previous;  // guarded by g_chain_lock: the handler this one replaced
  Link* later = nullptr;  // guarded by g_chain_lock: the link whose `previous` is this one's handler
};

namespace {

// Guards the links' chain of replaced handlers; taken before the application's own lock.
std::mutex g_chain_lock;

struct HelpThunk {
  std::shared_ptr<THtmlHelp::Link> link;

  bool operator()(uint16_t command, int32_t data, bool& call_help) const {
    {
      std::lock_guard<std::recursive_mutex> guard(link->lock);
      if (link->component != nullptr) return link->component->HelpHandler(command, data, call_help);
    }
    TApplication::THelpEvent previous;
    {
      std::lock_guard<std::mutex> chain(g_chain_lock);
      previous = link->previous;
    }
    return previous(command, data, call_help);
  }
};

THtmlHelp::Link* LinkOf(const TApplication::THelpEvent& handler) {
  const HelpThunk* thunk = handler.Target<HelpThunk>();
  return thunk != nullptr ? thunk->link.get() : nullptr;
}

std::mutex g_owner_lock;
THtmlHelp::OwnerWindowSource g_owner_source;  // guarded by g_owner_lock

bool HasFolderPart(std::string_view file) {
#ifdef _WIN32
  return file.find_first_of("\\/:") != std::string_view::npos;
#else
  return file.find('/') != std::string_view::npos;
#endif
}

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
  const size_t cut = path.find_last_of("\\/:");
#else
  const size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

THtmlHelp::THtmlHelp(TComponent* owner)
    : TComponent(owner), FViewer(&platform::SystemHelpViewer()), FLink(std::make_shared<Link>()) {
  FLink->component = this;
  std::lock_guard<std::mutex> chain(g_chain_lock);
  FLink->previous = Application().SetHelpHandler(HelpThunk{FLink});
  if (Link* earlier = LinkOf(FLink->previous)) earlier->later = FLink.get();
}

THtmlHelp::~THtmlHelp() {
  {
    std::lock_guard<std::recursive_mutex> guard(FLink->lock);
    FLink->component = nullptr;
  }
  std::lock_guard<std::mutex> chain(g_chain_lock);
  Link* const earlier = LinkOf(FLink->previous);
  TApplication::THelpEvent current = Application().SetHelpHandler(FLink->previous);
  if (LinkOf(current) == FLink.get()) {
    if (earlier != nullptr) earlier->later = nullptr;
  } else {
    // Destroyed out of order: the later handler stays installed, and this link leaves the chain, so
    // chains never grow with the components that come and go.
    Application().SetHelpHandler(std::move(current));
    if (FLink->later != nullptr) FLink->later->previous = FLink->previous;
    if (earlier != nullptr) earlier->later = FLink->later;
  }
  FLink->later = nullptr;
}

void THtmlHelp::Loaded() {
  TComponent::Loaded();
  if (!FDefaultFile) return;
  std::string file = Application().HelpFile();
  if (!file.empty() && !HasFolderPart(file)) file = FolderOf(platform::ProgramPath()) + file;
  FChmFile = std::move(file);
}

void THtmlHelp::SetDefaultFile(bool use_default) {
  FDefaultFile = use_default;
  if (use_default) FChmFile.clear();
}

platform::HelpTarget THtmlHelp::HelpTarget(std::string_view topic) const {
  return platform::HelpTarget{FChmFile, std::string(topic), FWinDef};
}

std::string THtmlHelp::HelpPath(std::string_view topic) const {
  return platform::HelpPathText(HelpTarget(topic));
}

platform::HelpWindow THtmlHelp::ShowContext(int32_t context) {
  platform::HelpViewer& viewer = *FViewer;
  if (!viewer.Available()) return 0;
  return viewer.ShowContext(OwnerWindow(), HelpTarget(), static_cast<uint32_t>(context));
}

bool THtmlHelp::HelpHandler(uint16_t command, int32_t data, bool& call_help) {
  call_help = false;
  switch (command) {
    case 1:  // help by context
    case 8:  // context pop-up
      ShowContext(data);
      return true;
    case 11: {  // contents
      platform::HelpViewer& viewer = *FViewer;
      if (!viewer.Available()) return false;
      viewer.ShowContents(OwnerWindow(), HelpTarget());
      return true;
    }
    default:
      return true;
  }
}

void THtmlHelp::SetOwnerWindowSource(OwnerWindowSource source) {
  std::lock_guard<std::mutex> guard(g_owner_lock);
  g_owner_source = std::move(source);
}

platform::HelpWindow THtmlHelp::OwnerWindow() {
  OwnerWindowSource source;
  {
    std::lock_guard<std::mutex> guard(g_owner_lock);
    source = g_owner_source;
  }
  return source ? source() : 0;
}

}  // namespace kvo
