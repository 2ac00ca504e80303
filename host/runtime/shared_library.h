// Opens a shared library (a DLL on Windows) and finds its symbols: LoadLibraryW and
// GetProcAddress on Windows, dlopen and dlsym elsewhere.
#pragma once

#include <memory>
#include <string>

namespace hostrt {

class SharedLibrary {
 public:
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The library at file (UTF-8), or nullptr with the system's reason in error.
  static std::unique_ptr<SharedLibrary> Open(const std::string& file, std::string& error);
  // The address of an exported symbol, nullptr when the library has none of that name.
  void* Find(const char* name) const;

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace hostrt
