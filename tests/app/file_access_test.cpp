// Reading only regular files and replacing files atomically, under the faults a save meets.
#include "file_access.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
// windows.h names its own ReplaceFile as a macro.
#undef ReplaceFile

#include "runtime/file_system.h"
#else
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "c4d_basedocument.h"
#include "obj_io.h"
#include "printable.h"
#include "scenes.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using namespace pelterra;

namespace {

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}
#endif

// Names in a folder that are not among the expected ones: temporary files left behind.
std::vector<std::string> Extra(const fs::path& dir, const std::set<std::string>& expected) {
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(dir))
    if (!expected.count(e.path().filename().string()))
      extra.push_back(e.path().filename().string());
  return extra;
}

}  // namespace

#ifndef _WIN32
TEST(ReadRegularFile, RefusesWhatIsNoRegularFileWithoutBlocking) {
  TempFolder dir;
  const std::string fifo = dir.Path("pipe.obj");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string text, error;
  // A FIFO without a writer: opening it for reading would wait forever.
  EXPECT_FALSE(ReadRegularFile(fifo, text, error));
  EXPECT_EQ(error, fifo + ": not a regular file (a FIFO)");
  EXPECT_FALSE(ReadRegularFile("/dev/zero", text, error)) << "would grow without end";
  EXPECT_EQ(error, "/dev/zero: not a regular file (a character device)");
  EXPECT_FALSE(ReadRegularFile(dir.Path(""), text, error));
  EXPECT_NE(error.find("not a regular file (a folder)"), std::string::npos) << error;
  EXPECT_FALSE(ReadRegularFile(dir.Path("missing.obj"), text, error));
  EXPECT_EQ(error, dir.Path("missing.obj") + ": cannot open: No such file or directory");

  dir.Write("ok.obj", std::string("v 1 2 3\n\0x", 10));
  ASSERT_TRUE(ReadRegularFile(dir.Path("ok.obj"), text, error)) << error;
  EXPECT_EQ(text, std::string("v 1 2 3\n\0x", 10)) << "every byte, NUL included";
}

TEST(ReadRegularFile, AReadErrorIsAFailureThatNamesTheFile) {
  // /proc/self/mem is a regular file whose first page cannot be read: EIO at offset 0.
  std::string text, error;
  EXPECT_FALSE(ReadRegularFile("/proc/self/mem", text, error));
  EXPECT_EQ(error.rfind("/proc/self/mem: cannot read: ", 0), 0u) << error;
  BaseDocument* doc = BaseDocument::Alloc();
  EXPECT_FALSE(LoadObj("/proc/self/mem", *doc, error));
  EXPECT_EQ(error.rfind("/proc/self/mem: ", 0), 0u) << error;
  EXPECT_EQ(doc->GetFirstObject(), nullptr);
  BaseDocument::Free(doc);
}

// Content made while it is written: the pieces end up in order; a producer that gives up
// keeps the old file and leaves no temporary file, with its own reason.
TEST(ReplaceFileWith, PiecesArriveInOrderAndGivingUpKeepsTheOldFile) {
  TempFolder dir;
  dir.Write("keep.obj", "old\n");
  const std::string target = dir.Path("keep.obj");
  std::string why;
  const std::string big(3 << 20, 'b');
  std::uint64_t lastProgress = 0;
  ReplaceOptions options;
  options.onProgress = [&](std::uint64_t written, std::uint64_t) { lastProgress = written; };
  ASSERT_TRUE(ReplaceFileWith(
      target,
      [&](const WritePiece& write, std::string&) {
        return write("a\n") && write(big) && write("") && write("c\n");
      },
      options, why))
      << why;
  EXPECT_EQ(dir.Read("keep.obj"), "a\n" + big + "c\n");
  EXPECT_EQ(lastProgress, big.size() + 4);

  EXPECT_FALSE(ReplaceFileWith(
      target,
      [&](const WritePiece& write, std::string& reason) {
        write("half written");
        reason = "the data is not finite";
        return false;
      },
      ReplaceOptions(), why));
  EXPECT_EQ(why, "the data is not finite");
  EXPECT_EQ(dir.Read("keep.obj"), "a\n" + big + "c\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("")), fs::directory_iterator()), 1);
}

// Every way a save can fail keeps the old file byte for byte and leaves no temporary file.
TEST(ReplaceFile, FailedSavesKeepTheOldFileAndLeaveNoTemporaryFile) {
  TempFolder dir;
  const std::string old = "old content\n";
  const std::string target = dir.Path("keep.obj");
  dir.Write("keep.obj", old);
  std::string why;
  ReplaceOptions plain;

  {  // The disk fills up: writes past a file size limit fail with EFBIG.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16;
    auto handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = ReplaceFile(target, std::string(4096, 'x'), plain, why);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(why, "File too large");
  }
  EXPECT_EQ(dir.Read("keep.obj"), old);

  // A folder as the target is never replaced.
  fs::create_directory(dir.Dir() / "folder.obj");
  EXPECT_FALSE(ReplaceFile(dir.Path("folder.obj"), "new", plain, why));
  EXPECT_EQ(why, "is a folder");
  EXPECT_TRUE(fs::is_directory(dir.Dir() / "folder.obj"));

  // Nor a FIFO (nor, in the same way, a device node such as /dev/null).
  const std::string fifo = dir.Path("pipe.obj");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReplaceFile(fifo, "new", plain, why));
  EXPECT_EQ(why, "not a regular file (a FIFO); it is not replaced");
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

  // A read-only file, judged by its mode, so that root is held to it too.
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(ReplaceFile(target, "new", plain, why));
  EXPECT_NE(why.find("read-only"), std::string::npos) << why;
  EXPECT_EQ(dir.Read("keep.obj"), old);

  // A folder whose mode does not let the user write in it.
  fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
  fs::permissions(dir.Dir(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(ReplaceFile(target, "new", plain, why));
  fs::permissions(dir.Dir(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_NE(why.find("is not writable"), std::string::npos) << why;

  EXPECT_EQ(dir.Read("keep.obj"), old);
  EXPECT_EQ(Extra(dir.Dir(), {"keep.obj", "folder.obj", "pipe.obj"}), std::vector<std::string>());
}

TEST(ReplaceFile, AFullTmpfsKeepsTheOldFile) {
  TempFolder dir;
  const fs::path mnt = dir.Dir() / "small";
  fs::create_directory(mnt);
  if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here; the file size limit stands in for a full disk";
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount(at.c_str()); }
  } unmount{mnt};
  const std::string target = (mnt / "keep.obj").string();
  { std::ofstream(target) << "old\n"; }
  std::string why;
  EXPECT_FALSE(ReplaceFile(target, std::string(256 * 1024, 'x'), ReplaceOptions(), why));
  EXPECT_EQ(why, "No space left on device");
  std::string text, error;
  ASSERT_TRUE(ReadRegularFile(target, text, error)) << error;
  EXPECT_EQ(text, "old\n");
  EXPECT_EQ(Extra(mnt, {"keep.obj"}), std::vector<std::string>());
}

TEST(ReplaceFile, ALinkIsFollowedAndItsTargetReplacedInItsOwnFolder) {
  TempFolder dir;
  fs::create_directories(dir.Dir() / "real");
  fs::create_directories(dir.Dir() / "links");
  dir.Write("real/mesh.obj", "old\n");
  fs::permissions(dir.Path("real/mesh.obj"), fs::perms(0640));
  fs::create_symlink("../real/mesh.obj", dir.Dir() / "links" / "mesh.obj");
  std::string why;
  ASSERT_TRUE(ReplaceFile(dir.Path("links/mesh.obj"), "new\n", ReplaceOptions(), why)) << why;
  EXPECT_TRUE(fs::is_symlink(dir.Dir() / "links" / "mesh.obj")) << "the link stays a link";
  EXPECT_EQ(dir.Read("real/mesh.obj"), "new\n");
  EXPECT_EQ(ModeOf(dir.Path("real/mesh.obj")) & 0777, 0640u) << "keeps the target's mode";
  EXPECT_EQ(Extra(dir.Dir() / "real", {"mesh.obj"}), std::vector<std::string>());
  EXPECT_EQ(Extra(dir.Dir() / "links", {"mesh.obj"}), std::vector<std::string>());

  // A link to a link to a file that does not exist yet creates that file.
  fs::create_symlink("second", dir.Dir() / "links" / "first");
  fs::create_symlink("../real/fresh.obj", dir.Dir() / "links" / "second");
  ASSERT_TRUE(ReplaceFile(dir.Path("links/first"), "fresh\n", ReplaceOptions(), why)) << why;
  EXPECT_EQ(dir.Read("real/fresh.obj"), "fresh\n");
  // A loop of links is an error, not a hang.
  fs::create_symlink("loop-b", dir.Dir() / "loop-a");
  fs::create_symlink("loop-a", dir.Dir() / "loop-b");
  EXPECT_FALSE(ReplaceFile(dir.Path("loop-a"), "x", ReplaceOptions(), why));
}

TEST(ReplaceFile, AReadOnlyFileIsReplacedOnlyWhenAsked) {
  TempFolder dir;
  dir.Write("ro.obj", "old\n");
  fs::permissions(dir.Path("ro.obj"), fs::perms(0444));
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  ASSERT_TRUE(LoadBuiltinScene("cube", *doc, error)) << error;
  EXPECT_FALSE(SaveObj(*doc, dir.Path("ro.obj"), error));
  EXPECT_EQ(error.rfind("cannot save " + dir.Path("ro.obj") + ": ", 0), 0u) << error;
  EXPECT_EQ(dir.Read("ro.obj"), "old\n");
  ASSERT_TRUE(SaveObj(*doc, dir.Path("ro.obj"), error, nullptr, true)) << error;
  EXPECT_EQ(dir.Read("ro.obj").rfind("# Pelterra", 0), 0u);
  EXPECT_EQ(ModeOf(dir.Path("ro.obj")) & 0777, 0444u) << "the replacement keeps the mode";
  EXPECT_EQ(dir.Files(), 1u);
  BaseDocument::Free(doc);
}

#else
TEST(ReadRegularFile, RefusesFoldersAndDevicesOnWindows) {
  TempFolder dir;
  std::string text, error;
  EXPECT_FALSE(ReadRegularFile(dir.Dir().string(), text, error));
  EXPECT_EQ(error, dir.Dir().string() + ": not a regular file (a folder)");
  EXPECT_FALSE(ReadRegularFile("NUL", text, error)) << "a device name opens like a file";
  EXPECT_EQ(error, "NUL: not a regular file (a character device)");
  EXPECT_FALSE(ReadRegularFile(dir.Path("missing.obj"), text, error));
  EXPECT_EQ(error.rfind(dir.Path("missing.obj") + ": cannot open: ", 0), 0u) << error;

  dir.Write("ok.obj", std::string("v 1 2 3\r\n\0x", 11));
  ASSERT_TRUE(ReadRegularFile(dir.Path("ok.obj"), text, error)) << error;
  EXPECT_EQ(text, std::string("v 1 2 3\r\n\0x", 11)) << "every byte, CR and NUL included";
}

TEST(ReplaceFile, AFailedMoveOnWindowsKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempFolder dir;
  dir.Write("keep.obj", "old content\n");
  std::string why;
  {
    // A program that holds the file open without sharing it: the move cannot replace it.
    HANDLE h = CreateFileW(hostrt::WidePath(dir.Path("keep.obj")).c_str(), GENERIC_READ, 0,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReplaceFile(dir.Path("keep.obj"), "new", ReplaceOptions(), why));
    CloseHandle(h);
  }
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(dir.Read("keep.obj"), "old content\n");
  EXPECT_EQ(Extra(dir.Dir(), {"keep.obj"}), std::vector<std::string>());

  fs::create_directory(dir.Dir() / "folder.obj");
  EXPECT_FALSE(ReplaceFile(dir.Path("folder.obj"), "new", ReplaceOptions(), why));
  EXPECT_EQ(why, "is a folder");
  EXPECT_TRUE(fs::is_directory(dir.Dir() / "folder.obj"));

  ASSERT_TRUE(ReplaceFile(dir.Path("keep.obj"), "new", ReplaceOptions(), why)) << why;
  EXPECT_EQ(dir.Read("keep.obj"), "new");
  EXPECT_EQ(Extra(dir.Dir(), {"keep.obj", "folder.obj"}), std::vector<std::string>());
}

TEST(ReplaceFile, AReadOnlyFileOnWindowsIsReplacedOnlyWhenAskedAndStaysReadOnly) {
  TempFolder dir;
  dir.Write("ro.obj", "old\n");
  const std::wstring wide = hostrt::WidePath(dir.Path("ro.obj"));
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
  std::string why;
  EXPECT_FALSE(ReplaceFile(dir.Path("ro.obj"), "new\n", ReplaceOptions(), why));
  EXPECT_NE(why.find("read-only"), std::string::npos) << why;
  EXPECT_EQ(dir.Read("ro.obj"), "old\n");
  ReplaceOptions overwrite;
  overwrite.readOnly = true;
  ASSERT_TRUE(ReplaceFile(dir.Path("ro.obj"), "new\n", overwrite, why)) << why;
  EXPECT_EQ(dir.Read("ro.obj"), "new\n");
  EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(dir.Files(), 1u);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ReplaceFile, LinuxFaultInjectionIsSkippedOnWindows) {
  GTEST_SKIP() << "FIFOs, device nodes, a tmpfs mount, file size limits, symbolic links and "
                  "mode bits are Linux facilities; their faults are tested on Linux";
}
#endif

TEST(Printable, EscapesControlCharactersOnly) {
  EXPECT_EQ(Printable("plain name\twith tab\n"), "plain name\twith tab\n");
  EXPECT_EQ(Printable("a\x1b[2Jb\r\x7f"), "a\\x1b[2Jb\\x0d\\x7f");
  // UTF-8 stays; the C1 control U+009B (CSI) is escaped, U+00A0 is not.
  EXPECT_EQ(Printable("caf\xc3\xa9 \xc2\x9b \xc2\xa0"), "caf\xc3\xa9 \\u009b \xc2\xa0");

  std::ostringstream sink;
  PrintableBuf buf(sink.rdbuf());
  std::ostream out(&buf);
  out << "x\xc2";  // the first byte of a pair held back until the next one comes
  out << "\x9by\x07\xc2";
  buf.Finish();
  EXPECT_EQ(sink.str(), "x\\u009by\\x07\xc2");
}
