#include "runtime/file_system.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <random>
#else
#include <unistd.h>
#endif

namespace hostrt {

#ifdef _WIN32

namespace {

// Six letters or digits from a per-process random sequence, for a temporary file's name.
std::string UniqueSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 rng{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
  std::string s(6, 'x');
  for (char& c : s) c = kChars[pick(rng)];
  return s;
}

}  // namespace

std::wstring WidePath(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string SystemMessage(unsigned long code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = n > 0 && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  if (s.empty()) s = "system error " + std::to_string(code);
  return s;
}

bool ReadRegularFile(const std::string& path, std::string& out, std::string& why) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    why = "cannot open: " + SystemMessage(GetLastError());
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    why = "not a regular file (a folder)";
    return false;
  }
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "cannot open: " + SystemMessage(GetLastError());
    return false;
  }
  // Device names (NUL, CON, COM1 ...) open like files; they are no file to read.
  const DWORD type = GetFileType(h);
  if (type != FILE_TYPE_DISK) {
    CloseHandle(h);
    why = type == FILE_TYPE_CHAR   ? "not a regular file (a character device)"
          : type == FILE_TYPE_PIPE ? "not a regular file (a pipe)"
                                   : "not a regular file";
    return false;
  }
  std::string data;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(h, &size) && size.QuadPart > 0) data.reserve(static_cast<size_t>(size.QuadPart));
  char buf[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      why = "cannot read: " + SystemMessage(GetLastError());
      CloseHandle(h);
      return false;
    }
    if (n == 0) break;
    data.append(buf, n);
  }
  CloseHandle(h);
  out = std::move(data);
  return true;
}

std::FILE* CreateUniqueFile(const std::string& prefix, std::string& path, std::string& why) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix + UniqueSuffix();
    HANDLE h = CreateFileW(WidePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
      why = SystemMessage(code);
      return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
      CloseHandle(h);
      DeleteFileW(WidePath(name).c_str());
      why = "cannot open a descriptor";
      return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) {
      _close(fd);
      DeleteFileW(WidePath(name).c_str());
      why = std::strerror(errno);
      return nullptr;
    }
    path = name;
    return f;
  }
  why = "no unused temporary file name";
  return nullptr;
}

std::string ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  const int len = WideCharToMultiByte(CP_UTF8, 0, buf.data(), static_cast<int>(buf.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(len > 0 ? len : 0), '\0');
  if (len > 0)
    WideCharToMultiByte(CP_UTF8, 0, buf.data(), static_cast<int>(buf.size()), out.data(), len,
                        nullptr, nullptr);
  return out;
}

void RemoveFile(const std::string& path) {
  DeleteFileW(WidePath(path).c_str());
}

bool FlushToDisk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
  const intptr_t h = _get_osfhandle(_fileno(f));
  return h != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(h));
}

bool MoveIntoPlace(const std::string& temp, const std::string& target, std::string& why) {
  if (MoveFileExW(WidePath(temp).c_str(), WidePath(target).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  why = SystemMessage(GetLastError());
  return false;
}

#else

bool FlushToDisk(std::FILE* f) {
  return std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
}

bool MoveIntoPlace(const std::string& temp, const std::string& target, std::string& why) {
  if (::rename(temp.c_str(), target.c_str()) == 0) return true;
  why = std::strerror(errno);
  return false;
}

#endif

}  // namespace hostrt
