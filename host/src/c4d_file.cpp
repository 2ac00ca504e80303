#include "c4d_file.h"

#ifdef _WIN32
#include <io.h>

#include "runtime/file_system.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// Windows takes both slashes between path components (and joins them with its own, as
// std::filesystem does); a file name holds neither.
#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif
}  // namespace

Filename Filename::GetFile() const {
  auto p = path_.find_last_of(kSeparators);
  return p == String::npos ? *this : Filename(path_.substr(p + 1));
}

Filename Filename::GetDirectory() const {
  auto p = path_.find_last_of(kSeparators);
  if (p == String::npos) return Filename();
  return Filename(p == 0 ? String("/") : path_.substr(0, p));
}

void Filename::SetDirectory(const Filename& folder) {
  *this = folder + GetFile();
}

void Filename::SetFile(const Filename& file) {
  String name = file.GetString();
  for (const char* c = kSeparators; *c; ++c) std::replace(name.begin(), name.end(), *c, '_');
  std::replace(name.begin(), name.end(), '\0', '_');
  *this = GetDirectory() + Filename(name);
}

String Filename::GetSuffix() const {
  String file = GetFile().GetString();
  auto p = file.find_last_of('.');
  return p == String::npos || p == 0 ? String() : file.substr(p + 1);
}

void Filename::SetSuffix(const String& suffix) {
  String file = GetFile().GetString();
  auto p = file.find_last_of('.');
  if (p != String::npos && p != 0) path_.resize(path_.size() - (file.size() - p));
  if (!suffix.empty()) path_ += "." + suffix;
}

Bool Filename::CheckSuffix(const String& suffix) const {
  String a = GetSuffix(), b = suffix;
  if (a.size() != b.size()) return false;
  return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

Filename Filename::operator+(const Filename& component) const {
  if (path_.empty()) return component;
  if (component.path_.empty()) return *this;
  if (std::strchr(kSeparators, path_.back())) return Filename(path_ + component.path_);
  return Filename(path_ + kSeparators[0] + component.path_);
}

Bool GeFExist(const Filename& path, Bool isdir) {
  std::error_code ec;
  auto st = std::filesystem::status(path.GetString(), ec);
  if (ec) return false;
  return isdir ? std::filesystem::is_directory(st) : std::filesystem::is_regular_file(st);
}

// --- BaseFile ---

BaseFile* BaseFile::Alloc() {
  return new BaseFile();
}

void BaseFile::Free(BaseFile*& file) {
  delete file;
  file = nullptr;
}

BaseFile::~BaseFile() {
  if (file_) Close();
}

void BaseFile::SetError(FILEERROR error) {
  if (error_ == FILEERROR_NONE || error == FILEERROR_NONE) error_ = error;
}

Bool BaseFile::Open(const Filename& name, FILEOPEN mode, FILEDIALOG, BYTEORDER order) {
  if (file_) Close();
  error_ = FILEERROR_NONE;
  length_ = position_ = 0;
  mode_ = mode;
  order_ = order;
  target_.clear();
  temp_.clear();
  const String path = name.GetString();
  std::error_code ec;
  if (path.empty() || (mode != FILEOPEN_READ && mode != FILEOPEN_WRITE)) {
    SetError(FILEERROR_OPEN);
    return false;
  }

  if (mode == FILEOPEN_READ) {
    // A folder opens with fopen on Linux; it is no file to read.
    if (!fs::is_regular_file(path, ec)) {
      SetError(FILEERROR_OPEN);
      return false;
    }
#ifdef _WIN32
    file_ = _wfopen(hostrt::WidePath(path).c_str(), L"rb");
    const long long size = file_ ? _filelengthi64(_fileno(file_)) : -1;
    if (size < 0) {
      if (file_) std::fclose(file_);
      file_ = nullptr;
      SetError(FILEERROR_OPEN);
      return false;
    }
    length_ = static_cast<Int64>(size);
#else
    file_ = std::fopen(path.c_str(), "rb");
    struct stat st {};
    if (!file_ || fstat(fileno(file_), &st) != 0) {
      if (file_) std::fclose(file_);
      file_ = nullptr;
      SetError(FILEERROR_OPEN);
      return false;
    }
    length_ = static_cast<Int64>(st.st_size);
#endif
    return true;
  }

  // Writing goes to a temporary file in the target's folder (a link is followed to its file), so
  // that the rename in Close replaces the target in one step.
  fs::path target(path);
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) {
      SetError(FILEERROR_OPEN);
      return false;
    }
    target = resolved;
  }
  const fs::file_status st = fs::status(target, ec);
  const bool exists = fs::exists(st);
  if (exists && !fs::is_regular_file(st)) {
    SetError(FILEERROR_OPEN);
    return false;
  }
#ifdef _WIN32
  // The temporary file has no permissions to carry over; the move keeps the target's name.
  std::string temp, why;
  file_ = hostrt::CreateUniqueFile(
      (target.parent_path() / ("." + target.filename().string() + ".")).string(), temp, why);
  if (!file_) {
    SetError(FILEERROR_OPEN);
    return false;
  }
#else
  String temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    SetError(FILEERROR_OPEN);
    return false;
  }
  // The new file gets the permissions the old one had, or those of a freshly created file.
  mode_t bits = 0;
  if (exists) {
    bits = static_cast<mode_t>(st.permissions()) & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    bits = 0666 & ~mask;
  }
  file_ = fchmod(fd, bits) == 0 ? fdopen(fd, "wb") : nullptr;
  if (!file_) {
    close(fd);
    unlink(temp.c_str());
    SetError(FILEERROR_OPEN);
    return false;
  }
#endif
  target_ = target.string();
  temp_ = temp;
  return true;
}

Bool BaseFile::Close() {
  if (!file_) return false;
  if (mode_ == FILEOPEN_READ) {
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }
  bool ok = error_ == FILEERROR_NONE;
  ok = std::fflush(file_) == 0 && ok;
  // On disk before the rename, so that a crash leaves the old file or the whole new one.
#ifdef _WIN32
  ok = ok && hostrt::FlushToDisk(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  std::string why;
  ok = ok && hostrt::MoveIntoPlace(temp_, target_, why);
  if (!ok) {
    hostrt::RemoveFile(temp_);
#else
  ok = ok && fsync(fileno(file_)) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  ok = ok && std::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    unlink(temp_.c_str());
#endif
    SetError(FILEERROR_CLOSE);
  }
  temp_.clear();
  return ok;
}

Bool BaseFile::WriteBytes(const void* data, Int64 len) {
  if (!file_ || mode_ != FILEOPEN_WRITE || len < 0 || (len > 0 && !data)) {
    SetError(FILEERROR_WRITE);
    return false;
  }
  // After a failed write the rest would land at the wrong place; the file is spoilt anyway.
  if (error_ != FILEERROR_NONE) return false;
  const size_t n = static_cast<size_t>(len);
  if (std::fwrite(data, 1, n, file_) != n) {
    SetError(FILEERROR_WRITE);
    return false;
  }
  position_ += len;
  length_ = position_;
  return true;
}

Bool BaseFile::WriteChar(Char v) {
  if (!file_ || mode_ != FILEOPEN_WRITE || error_ != FILEERROR_NONE) return WriteBytes(&v, 1);
#ifdef _WIN32
  if (_putc_nolock(static_cast<unsigned char>(v), file_) == EOF) {
#else
  if (putc_unlocked(static_cast<unsigned char>(v), file_) == EOF) {
#endif
    SetError(FILEERROR_WRITE);
    return false;
  }
  length_ = ++position_;
  return true;
}

Bool BaseFile::WriteInt32(Int32 v) {
  const UInt32 u = static_cast<UInt32>(v);
  unsigned char b[4];
  for (int i = 0; i < 4; ++i) {
    const int shift = order_ == BYTEORDER_INTEL ? 8 * i : 8 * (3 - i);
    b[i] = static_cast<unsigned char>(u >> shift);
  }
  return WriteBytes(b, 4);
}

Int64 BaseFile::ReadBytes(void* data, Int64 len, Bool justTry) {
  if (!file_ || mode_ != FILEOPEN_READ || len < 0 || (len > 0 && !data)) {
    SetError(FILEERROR_READ);
    return 0;
  }
  const size_t n = std::fread(data, 1, static_cast<size_t>(len), file_);
  position_ += static_cast<Int64>(n);
  if (static_cast<Int64>(n) < len && !justTry)
    SetError(std::ferror(file_) ? FILEERROR_READ : FILEERROR_FILE_END);
  return static_cast<Int64>(n);
}

Bool BaseFile::ReadChar(Char* v) {
  if (!file_ || mode_ != FILEOPEN_READ || !v) return ReadBytes(v, 1) == 1;
#ifdef _WIN32
  const int c = _getc_nolock(file_);
#else
  const int c = getc_unlocked(file_);
#endif
  if (c == EOF) {
    SetError(std::ferror(file_) ? FILEERROR_READ : FILEERROR_FILE_END);
    return false;
  }
  *v = static_cast<Char>(c);
  ++position_;
  return true;
}

Bool BaseFile::ReadInt32(Int32* v) {
  unsigned char b[4];
  if (!v || ReadBytes(b, 4) != 4) return false;
  UInt32 u = 0;
  for (int i = 0; i < 4; ++i) {
    const int shift = order_ == BYTEORDER_INTEL ? 8 * i : 8 * (3 - i);
    u |= static_cast<UInt32>(b[i]) << shift;
  }
  *v = static_cast<Int32>(u);
  return true;
}

Int64 BaseFile::GetLength() const {
  return length_;
}
