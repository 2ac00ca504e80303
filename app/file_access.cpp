#include "file_access.h"

#ifdef _WIN32
#include <windows.h>
// windows.h names its own ReplaceFile as a macro.
#undef ReplaceFile

#include "runtime/file_system.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace pelterra {

#ifdef _WIN32

namespace fs = std::filesystem;

bool ModeLetsWrite(unsigned mode, unsigned, unsigned) {
  return (mode & 0222) != 0;
}

bool ReadRegularFile(const std::string& path, std::string& text, std::string& error) {
  std::string why;
  if (!hostrt::ReadRegularFile(path, text, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

bool ReplaceFileWith(const std::string& path,
                     const std::function<bool(const WritePiece& write, std::string& why)>& produce,
                     const ReplaceOptions& options, std::string& why) {
  // A symbolic link is followed to the file it names, which is replaced in its own folder.
  std::error_code ec;
  std::string target = path;
  if (fs::is_symlink(path, ec)) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) {
      why = ec.message();
      return false;
    }
    target = resolved.string();
  }
  const std::wstring wideTarget = hostrt::WidePath(target);
  const DWORD attributes = GetFileAttributesW(wideTarget.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    why = "is a folder";
    return false;
  }
  const bool readOnly = exists && (attributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly && !options.readOnly) {
    why = "the file is read-only; write \"overwrite\" to replace it";
    return false;
  }
  std::string folder = fs::path(target).parent_path().string();
  if (folder.empty()) folder = ".";
  const DWORD folderAttributes = GetFileAttributesW(hostrt::WidePath(folder).c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
    why = hostrt::SystemMessage(GetLastError());
    return false;
  }
  if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    why = "not a folder: " + folder;
    return false;
  }

  std::string tmp;
  std::FILE* f = hostrt::CreateUniqueFile(target + ".tmp-", tmp, why);
  if (!f) return false;
  std::uint64_t done = 0;
  bool failedWrite = false;
  const WritePiece write = [&](std::string_view piece) {
    failedWrite = failedWrite || std::fwrite(piece.data(), 1, piece.size(), f) != piece.size();
    done += piece.size();
    if (!failedWrite && options.onProgress) options.onProgress(done, 0);
    return !failedWrite;
  };
  std::string gaveUp;
  const bool produced = produce(write, gaveUp);
  const bool written = produced && !failedWrite;
  const bool flushed = written && hostrt::FlushToDisk(f);
  const bool closed = std::fclose(f) == 0;
  if (!written || !flushed || !closed) {
    why = !produced && !failedWrite ? gaveUp : "cannot write the temporary file";
    hostrt::RemoveFile(tmp);
    return false;
  }
  // A read-only file cannot be replaced; the new one is made read-only in its place.
  const std::wstring wideTmp = hostrt::WidePath(tmp);
  if (readOnly) {
    SetFileAttributesW(wideTmp.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(wideTarget.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  }
  if (!hostrt::MoveIntoPlace(tmp, target, why)) {
    if (readOnly) {
      SetFileAttributesW(wideTarget.c_str(), attributes);
      SetFileAttributesW(wideTmp.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    hostrt::RemoveFile(tmp);
    return false;
  }
  return true;
}

#else

namespace {

namespace fs = std::filesystem;

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

std::string NotRegular(mode_t mode) {
  return std::string("not a regular file (") + KindOf(mode) + ")";
}

// 0666 less the process's umask, read without changing it.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("Umask:"))
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 0666 & ~mask;
}

// The file a chain of symbolic links ends at; path itself when it is none.
bool FollowLinks(std::string path, std::string& target, std::string& why) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      target = path;
      return true;
    }
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) {
      why = std::strerror(errno);
      return false;
    }
    const fs::path link(std::string(buf.data(), static_cast<size_t>(n)));
    path = link.is_absolute() ? link.string() : (fs::path(path).parent_path() / link).string();
  }
  why = std::strerror(ELOOP);
  return false;
}

}  // namespace

bool ModeLetsWrite(unsigned mode, unsigned owner, unsigned group) {
  const uid_t uid = ::geteuid();
  if (uid == 0) return (mode & 0222) != 0;
  if (uid == owner) return (mode & S_IWUSR) != 0;
  bool inGroup = ::getegid() == group;
  const int n = ::getgroups(0, nullptr);
  if (!inGroup && n > 0) {
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    for (int i = 0; i < got; ++i) inGroup = inGroup || groups[static_cast<size_t>(i)] == group;
  }
  return (mode & (inGroup ? S_IWGRP : S_IWOTH)) != 0;
}

bool ReadRegularFile(const std::string& path, std::string& text, std::string& error) {
  // Devices are not even opened: opening one can block or have effects of its own.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + ": " + NotRegular(st.st_mode);
    return false;
  }
  // Non-blocking, so that a FIFO put in the file's place meanwhile cannot make the open wait.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + ": " + NotRegular(st.st_mode);
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::string data;
  if (st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = path + ": cannot read: " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  text = std::move(data);
  return true;
}

bool ReplaceFileWith(const std::string& path,
                     const std::function<bool(const WritePiece& write, std::string& why)>& produce,
                     const ReplaceOptions& options, std::string& why) {
  std::string target;
  if (!FollowLinks(path, target, why)) return false;
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    why = "is a folder";
    return false;
  }
  if (exists && !S_ISREG(old.st_mode)) {
    why = NotRegular(old.st_mode) + "; it is not replaced";
    return false;
  }
  if (exists && !options.readOnly && !ModeLetsWrite(old.st_mode, old.st_uid, old.st_gid)) {
    why = "the file is read-only; write \"overwrite\" to replace it";
    return false;
  }
  std::string folder = fs::path(target).parent_path().string();
  if (folder.empty()) folder = ".";
  struct stat dirStat;
  if (::stat(folder.c_str(), &dirStat) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(dirStat.st_mode)) {
    why = std::strerror(ENOTDIR);
    return false;
  }
  if (!ModeLetsWrite(dirStat.st_mode, dirStat.st_uid, dirStat.st_gid)) {
    why = "the folder " + folder + " is not writable";
    return false;
  }

  std::string tmp = target + ".tmp-XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  auto fail = [&](int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(tmp.c_str());
    why = std::strerror(err);
    return false;
  };
  int writeError = 0;
  std::uint64_t done = 0;
  const WritePiece write = [&](std::string_view piece) {
    const char* p = piece.data();
    size_t left = piece.size();
    // In parts, so that the progress of a large piece can be told.
    constexpr size_t kPart = size_t{4} << 20;
    while (left > 0 && writeError == 0) {
      const ssize_t n = ::write(fd, p, std::min(left, kPart));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        writeError = n < 0 ? errno : EIO;
        break;
      }
      p += n;
      left -= static_cast<size_t>(n);
      done += static_cast<std::uint64_t>(n);
      if (options.onProgress) options.onProgress(done, 0);
    }
    return writeError == 0;
  };
  std::string gaveUp;
  if (!produce(write, gaveUp)) {
    if (writeError != 0) return fail(writeError);
    ::close(fd);
    ::unlink(tmp.c_str());
    why = gaveUp;
    return false;
  }
  if (writeError != 0) return fail(writeError);
  const mode_t mode = exists ? old.st_mode & 07777 : NewFileMode();
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return fail(errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return fail(errno);
  if (::rename(tmp.c_str(), target.c_str()) != 0) return fail(errno);
  // Make the rename itself durable.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

#endif

bool ReplaceFile(const std::string& path, std::string_view content, const ReplaceOptions& options,
                 std::string& why) {
  ReplaceOptions inner;
  inner.readOnly = options.readOnly;
  if (options.onProgress)
    inner.onProgress = [&](std::uint64_t written, std::uint64_t) {
      options.onProgress(written, content.size());
    };
  return ReplaceFileWith(
      path, [&](const WritePiece& write, std::string&) { return write(content); }, inner, why);
}

}  // namespace pelterra
