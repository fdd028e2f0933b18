// Saves a picture of the options dialog with sample settings and host items, as the toolkit of this build
// draws it: kvo-dialog-screenshot <file.png>. Not a test; `make screenshots` runs it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "support/deadband_ini.h"
#include "view/dialog_driver.h"
#include "view/form_view.h"

namespace {

::TParamsList* Out(kvo::TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

int32_t Command(int32_t handle, const char* command, const char* name = nullptr,
                const std::string& value = "") {
  kvo::TParamsList parameters;
  parameters.Add("COMMAND", kvo::Variant::FromText(command));
  if (name != nullptr) parameters.Add(name, kvo::Variant::FromText(value));
  return ::ExecutePluginCommand(handle, Out(&parameters));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <picture.png>\n", argv[0]);
    return 2;
  }
  const std::string picture = argv[1];
  std::string why;
  if (!kvo::view::DisplayAvailable(&why)) {
    std::fprintf(stderr, "no dialog can be shown: %s\n", why.c_str());
    return 1;
  }
  kvo::RegisterDeadbandPlugin();
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() /
      ("kvo-screenshot-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(scratch);
#if !defined(_WIN32)
  ::setenv("KVO_REGISTRY_DIR", (scratch / "registry").string().c_str(), 1);
#endif
  const std::string ini = (scratch / "settings.ini").string();
  kvo::testing::WriteTextFile(ini, kvo::testing::DeadbandIniText(
                                       1, {{"Temperature", 0, 0.5}, {"Pressure", 1, 2}, {"Counter", 3, 10}}));

  const int32_t handle = 1;
  kvo::TParamsList load;
  load.Add("COMMAND", kvo::Variant::FromText("LOAD"));
  load.Add("INI-FILE", kvo::Variant::FromText(ini));
  load.Add("RegistryPath", kvo::Variant::FromText("Software\\kvo-screenshot"));
  ::ExecutePluginCommand(handle, Out(&load));
  Command(handle, "SET ITEMS", "ITEMS",
          "1|Temperature|Float|\r\n2|Pressure|Float|\r\n3|Counter|Integer|\r\n4|Humidity|Float|");

  bool saved = false;
  kvo::view::SetShownHook([&](void* window) {
    std::unique_ptr<kvo::view_test::DialogDriver> driver = kvo::view_test::MakeDriver(window);
    saved = driver->SavePicture(picture);
    driver->Click("btnCancel");
  });
  ::ShowOptionsDialog(handle, nullptr);
  kvo::view::SetShownHook({});
  Command(handle, "UNLOAD");
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  if (!saved) {
    std::fprintf(stderr, "the picture could not be saved to %s\n", picture.c_str());
    return 1;
  }
  std::printf("%s\n", picture.c_str());
  return 0;
}
