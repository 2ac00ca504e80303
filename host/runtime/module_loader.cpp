#include "runtime/module_loader.h"

#include "runtime/registry.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

namespace hostrt {

Module::~Module() = default;

std::unique_ptr<Module> Module::Load(const String& file, std::string& error) {
  std::string why;
  std::unique_ptr<SharedLibrary> lib = SharedLibrary::Open(file, why);
  if (!lib) {
    error = file + ": cannot be loaded (" + why + ")";
    return nullptr;
  }
  void* sym = lib->Find("c4d_main");
  if (!sym) {
    error = file + ": no c4d_main entry";
    return nullptr;
  }
  std::unique_ptr<Module> m(new Module());
  m->library_ = std::move(lib);
  m->main_ = reinterpret_cast<C4DMainFunction>(sym);
  m->file_ = file;
  return m;
}

String Module::Folder() const {
  return std::filesystem::path(file_).parent_path().string();
}

std::vector<String> FindModules(const String& pluginFolder) {
  std::vector<String> out;
  std::error_code ec;
  for (const auto& dir : std::filesystem::directory_iterator(pluginFolder, ec)) {
    if (!dir.is_directory()) continue;
    std::error_code ec2;
    for (const auto& f : std::filesystem::directory_iterator(dir.path(), ec2))
      if (f.is_regular_file() && f.path().extension() == ".cdl64") out.push_back(f.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool PluginSystem::Start(const String& moduleFile, std::string& error) {
  auto m = Module::Load(moduleFile, error);
  if (!m) return false;
  folders_.push_back(m->Folder());
  Int32 r = m->Call(C4DPL_INIT_SYS, static_cast<C4DOS*>(&host_), nullptr,
                    const_cast<char*>(folders_.back().c_str()));
  if (r != 1) {
    error = moduleFile + ": refused to initialise (answer " + std::to_string(r) + ")";
    return false;
  }
  const size_t printed = host_.Console().size();
  r = m->Call(C4DPL_MESSAGE,
              reinterpret_cast<void*>(static_cast<std::intptr_t>(C4DPL_MSG_INIT_SYS)), nullptr,
              nullptr);
  if (r != 1) {
    // The module prints why (file, line, reason) to the console; the error carries it too, so
    // that it is seen when the console is not echoed.
    error = moduleFile + ": could not load its resources";
    for (size_t i = printed; i < host_.Console().size(); ++i) error += "\n  " + host_.Console()[i];
    m->Call(C4DPL_END, nullptr, nullptr, nullptr);
    return false;
  }
  const size_t beforeStart = host_.Console().size();
  r = m->Call(C4DPL_START, nullptr, nullptr, nullptr);
  modules_.push_back(std::move(m));
  if (r != 1) {
    error = moduleFile + ": start failed (a plug-in could not be registered)";
    // Why, from the console: what was printed after the start-up banner.
    size_t from = beforeStart;
    for (size_t i = beforeStart; i < host_.Console().size(); ++i)
      if (const String& l = host_.Console()[i];
          !l.empty() && l.find_first_not_of('-') == String::npos)
        from = i + 1;
    for (size_t i = from; i < host_.Console().size(); ++i) error += "\n  " + host_.Console()[i];
    return false;
  }
  return true;
}

bool PluginSystem::StartAll(const String& pluginFolder, std::string& error) {
  std::vector<String> files = FindModules(pluginFolder);
  if (files.empty()) {
    error = pluginFolder + ": no plug-in modules (*.cdl64) found";
    return false;
  }
  for (const String& f : files)
    if (!Start(f, error)) return false;
  return true;
}

void PluginSystem::EndAll() {
  if (modules_.empty()) return;
  host_.CloseAllWindows();
  // Tracks and tags in the documents carry plug-in data whose code is in the modules.
  host_.FreeDocuments();
  for (auto it = modules_.rbegin(); it != modules_.rend(); ++it)
    (*it)->Call(C4DPL_END, nullptr, nullptr, nullptr);
  // The plug-in objects' code lives in the modules: free them before unloading.
  Registry::Get().Clear();
  modules_.clear();
}

}  // namespace hostrt
