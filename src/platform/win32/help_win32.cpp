// The help viewer on Windows: the HTML Help control, found through its COM registration rather than a
// link-time import, so the module loads on systems without it.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/help.h"

namespace kvo::platform {

namespace {

constexpr char kViewerRegistration[] = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";
constexpr DWORD kMaxPath = 1024;

using HtmlHelpFn = HWND(WINAPI*)(HWND owner, const char* file, UINT command, DWORD_PTR data);

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// The registered library's file, or empty when it is not registered or not there.
std::string RegisteredViewerFile() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerRegistration, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char raw[kMaxPath + 1] = {};
  DWORD type = 0;
  DWORD size = kMaxPath;
  const LONG read = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(raw), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  raw[size < kMaxPath ? size : kMaxPath] = '\0';
  char expanded[kMaxPath + 1] = {};
  const DWORD length = ExpandEnvironmentStringsA(raw, expanded, kMaxPath);
  if (length == 0 || length > kMaxPath) return {};
  std::string file(expanded);
  size_t first = 0;
  while (first < file.size() && IsBlank(file[first]))
    ++first;
  size_t last = file.size();
  while (last > first && IsBlank(file[last - 1]))
    --last;
  file = file.substr(first, last - first);
  if (file.empty()) return {};
  const DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
  return file;
}

class Win32HelpViewer final : public HelpViewer {
 public:
  Win32HelpViewer() = default;
  Win32HelpViewer(const Win32HelpViewer&) = delete;
  Win32HelpViewer& operator=(const Win32HelpViewer&) = delete;

  // Never destroyed (see SystemHelpViewer): a destructor would run in DllMain's detach, under the loader
  // lock, where closing windows and freeing a library are a known deadlock.
  ~Win32HelpViewer() override = default;

  bool Available() override {
    std::lock_guard<std::mutex> guard(lock_);
    return Function() != nullptr;
  }

  // The viewer is called under the lock, so that Release never frees the library during a call.
  HelpWindow ShowContext(HelpWindow owner, const HelpTarget& target, uint32_t context) override {
    std::lock_guard<std::mutex> guard(lock_);
    const HtmlHelpFn fn = Function();
    if (fn == nullptr) return 0;
    const std::string path = HelpPathText(target);
    return reinterpret_cast<HelpWindow>(
        fn(reinterpret_cast<HWND>(owner), path.c_str(), kHelpContext, context));
  }

  HelpWindow ShowContents(HelpWindow owner, const HelpTarget& target) override {
    std::lock_guard<std::mutex> guard(lock_);
    const HtmlHelpFn fn = Function();
    if (fn == nullptr) return 0;
    const std::string path = HelpPathText(target);
    return reinterpret_cast<HelpWindow>(fn(reinterpret_cast<HWND>(owner), path.c_str(), kHelpDisplayToc, 0));
  }

  void Release() override {
    std::lock_guard<std::mutex> guard(lock_);
    if (library_ != nullptr) {
      if (html_help_ != nullptr) html_help_(nullptr, nullptr, kHelpCloseAll, 0);
      FreeLibrary(library_);
    }
    library_ = nullptr;
    html_help_ = nullptr;
    load_tried_ = false;  // the next request may load it again
  }

 private:
  // The viewer's entry point, loading its library on first success; null when there is no viewer.
  // A library that was loaded once is not loaded again until Release, even when it lacked the entry
  // points. Called under lock_.
  HtmlHelpFn Function() {
    if (html_help_ != nullptr) return html_help_;
    if (load_tried_) return nullptr;
    const std::string file = RegisteredViewerFile();
    if (file.empty()) return nullptr;
    HMODULE library = LoadLibraryA(file.c_str());
    if (library == nullptr) return nullptr;
    load_tried_ = true;
    const auto narrow =
        reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")));
    const FARPROC wide = GetProcAddress(library, "HtmlHelpW");
    if (narrow == nullptr || wide == nullptr) {
      FreeLibrary(library);
      return nullptr;
    }
    library_ = library;
    html_help_ = narrow;
    return html_help_;
  }

  std::mutex lock_;
  HMODULE library_ = nullptr;       // guarded by lock_
  HtmlHelpFn html_help_ = nullptr;  // guarded by lock_
  bool load_tried_ = false;         // guarded by lock_
};

}  // namespace

HelpViewer& SystemHelpViewer() {
  // Left to the system at exit, so that nothing of the viewer runs in the detach path.
  static Win32HelpViewer* const viewer = new Win32HelpViewer;
  return *viewer;
}

}  // namespace kvo::platform
