// Loads plug-in modules and drives their entry as the host does.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "c4d_os.h"
#include "runtime/host.h"
#include "runtime/shared_library.h"

namespace hostrt {

class Module {
 public:
  ~Module();
  // Opens file and finds c4d_main; nullptr with error on failure.
  static std::unique_ptr<Module> Load(const String& file, std::string& error);

  Int32 Call(Int32 action, void* p1, void* p2, void* p3) { return main_(action, p1, p2, p3); }
  const String& File() const { return file_; }
  // The folder that holds the module (its res folder lies beside it).
  String Folder() const;

 private:
  Module() = default;
  std::unique_ptr<SharedLibrary> library_;
  C4DMainFunction main_ = nullptr;
  String file_;
};

// Module files (*.cdl64) in the plug-in folder's sub-folders, sorted by path.
std::vector<String> FindModules(const String& pluginFolder);

// Every module of a plug-in folder, started and ended together.
class PluginSystem {
 public:
  explicit PluginSystem(Host& host) : host_(host) {}
  ~PluginSystem() { EndAll(); }

  // Loads and starts the modules: action 1 (table, folder), action 6 with message 1, action 2.
  // Stops at the first module that fails, with error naming it.
  bool StartAll(const String& pluginFolder, std::string& error);
  // Starts one module file.
  bool Start(const String& moduleFile, std::string& error);
  // Closes windows, frees the documents, sends action 3, frees the registered plug-ins, unloads.
  void EndAll();
  const std::vector<std::unique_ptr<Module>>& Modules() const { return modules_; }

 private:
  Host& host_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::deque<String> folders_;  // stable storage for the folder text passed as p3
};

}  // namespace hostrt
