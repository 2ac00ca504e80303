#include "runtime/shared_library.h"

#ifdef _WIN32
#include <windows.h>

#include "runtime/file_system.h"
#else
#include <dlfcn.h>
#endif

namespace hostrt {

#ifdef _WIN32

SharedLibrary::~SharedLibrary() {
  FreeLibrary(static_cast<HMODULE>(handle_));
}

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& file, std::string& error) {
  // No message box for a file that is not a module or a missing dependency: the caller reports it.
  DWORD oldMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  HMODULE h = LoadLibraryW(WidePath(file).c_str());
  const DWORD code = h ? 0 : GetLastError();
  SetThreadErrorMode(oldMode, nullptr);
  if (!h) {
    error = SystemMessage(code);
    return nullptr;
  }
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(h));
}

void* SharedLibrary::Find(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

#else

SharedLibrary::~SharedLibrary() {
  dlclose(handle_);
}

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& file, std::string& error) {
  dlerror();
  void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    error = e ? e : "unknown error";
    return nullptr;
  }
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(h));
}

void* SharedLibrary::Find(const char* name) const {
  return dlsym(handle_, name);
}

#endif

}  // namespace hostrt
