// The module loader on the file kinds a plug-in folder may hold: the real module, a module
// without the entry, a file that is no module and a file that is gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/module_loader.h"
#include "runtime/shared_library.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

TEST(ModuleLoader, LoadsTheModuleAndFindsOnlyItsEntry) {
  std::string error;
  auto lib = hostrt::SharedLibrary::Open(PELTERRA_MODULE, error);
  ASSERT_NE(lib, nullptr) << error;
  EXPECT_NE(lib->Find("c4d_main"), nullptr);
  // The module's own functions and the host layer linked into it stay inside it.
  EXPECT_EQ(lib->Find("InitOS"), nullptr);
  EXPECT_EQ(lib->Find("PluginStart"), nullptr);
  EXPECT_EQ(lib->Find("no_such_symbol"), nullptr);

  auto m = hostrt::Module::Load(PELTERRA_MODULE, error);
  ASSERT_NE(m, nullptr) << error;
  EXPECT_EQ(m->File(), PELTERRA_MODULE);
  EXPECT_EQ(fs::path(m->Folder()), fs::path(PELTERRA_MODULE).parent_path());
}

TEST(ModuleLoader, RefusesAModuleWithoutEntry) {
  std::string error;
  auto lib = hostrt::SharedLibrary::Open(PELTERRA_NO_ENTRY_MODULE, error);
  ASSERT_NE(lib, nullptr) << "the library itself loads: " << error;
  EXPECT_NE(lib->Find("plugin_main"), nullptr);

  auto m = hostrt::Module::Load(PELTERRA_NO_ENTRY_MODULE, error);
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(error, std::string(PELTERRA_NO_ENTRY_MODULE) + ": no c4d_main entry");
}

TEST(ModuleLoader, RefusesAFileThatIsNoModule) {
  TempFolder dir;
  const std::string file = dir.Path("Text.cdl64");
  std::ofstream(file) << "c4d_main\nnot a module, only its name\n";
  std::string error;
  EXPECT_EQ(hostrt::SharedLibrary::Open(file, error), nullptr);
  EXPECT_FALSE(error.empty()) << "the system's reason";

  error.clear();
  EXPECT_EQ(hostrt::Module::Load(file, error), nullptr);
  EXPECT_TRUE(error.starts_with(file + ": cannot be loaded (")) << error;
  EXPECT_GT(error.size(), file.size() + 22) << "a reason inside the brackets: " << error;
}

TEST(ModuleLoader, RefusesAMissingFile) {
  TempFolder dir;
  const std::string file = dir.Path("Gone.cdl64");
  std::string error;
  EXPECT_EQ(hostrt::Module::Load(file, error), nullptr);
  EXPECT_TRUE(error.starts_with(file + ": cannot be loaded (")) << error;

  // A plug-in folder whose only module is gone starts nothing and says so.
  hostrt::Host host;
  hostrt::PluginSystem plugins(host);
  error.clear();
  EXPECT_FALSE(plugins.StartAll(dir.Path("plugins"), error));
  EXPECT_NE(error.find("no plug-in modules"), std::string::npos) << error;
  EXPECT_TRUE(plugins.Modules().empty());
}
