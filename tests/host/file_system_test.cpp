// Moving a finished file into place, and the save through BaseFile when that move fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "c4d_file.h"
#include "runtime/file_system.h"
#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// Holds path so that it cannot be replaced: on Windows a handle that shares nothing, elsewhere a
// folder of that name with a file in it.
class Blocked {
 public:
  explicit Blocked(const std::string& path) {
#ifdef _WIN32
    h_ = CreateFileW(hostrt::WidePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h_, INVALID_HANDLE_VALUE);
#else
    fs::remove(path);
    fs::create_directories(fs::path(path) / "inside");
#endif
  }
  ~Blocked() {
#ifdef _WIN32
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
#endif
  }

 private:
#ifdef _WIN32
  HANDLE h_ = INVALID_HANDLE_VALUE;
#endif
};

}  // namespace

TEST(MoveIntoPlace, ReplacesTheTargetAndRemovesTheTemporaryName) {
  TempFolder dir;
  dir.Write("target.txt", "old");
  dir.Write("target.txt.tmp", "new contents");
  std::string why;
  ASSERT_TRUE(hostrt::MoveIntoPlace(dir.Path("target.txt.tmp"), dir.Path("target.txt"), why))
      << why;
  EXPECT_EQ(dir.Read("target.txt"), "new contents");
  EXPECT_FALSE(fs::exists(dir.Path("target.txt.tmp")));
  EXPECT_EQ(dir.Files(), 1u);
}

TEST(MoveIntoPlace, CreatesATargetThatIsNotThereYet) {
  TempFolder dir;
  dir.Write("new.tmp", "first");
  std::string why;
  ASSERT_TRUE(hostrt::MoveIntoPlace(dir.Path("new.tmp"), dir.Path("new.txt"), why)) << why;
  EXPECT_EQ(dir.Read("new.txt"), "first");
}

#ifdef _WIN32
TEST(MoveIntoPlace, AFailedMoveKeepsTheOldFileAndTheTemporaryOne) {
  TempFolder dir;
  dir.Write("target.txt", "old");
  dir.Write("target.txt.tmp", "new");
  std::string why;
  {
    Blocked hold(dir.Path("target.txt"));
    EXPECT_FALSE(hostrt::MoveIntoPlace(dir.Path("target.txt.tmp"), dir.Path("target.txt"), why));
  }
  EXPECT_FALSE(why.empty()) << "the system's reason";
  EXPECT_EQ(dir.Read("target.txt"), "old");
  EXPECT_EQ(dir.Read("target.txt.tmp"), "new") << "the caller decides what becomes of it";
}
#endif

TEST(MoveIntoPlace, AFailedMoveSaysWhy) {
  TempFolder dir;
  std::string why;
  EXPECT_FALSE(hostrt::MoveIntoPlace(dir.Path("missing.tmp"), dir.Path("target.txt"), why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(fs::exists(dir.Path("target.txt")));
}

TEST(FlushToDisk, WritesTheBufferedBytesOut) {
  TempFolder dir;
  std::FILE* f = std::fopen(dir.Path("flushed.bin").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite("abc\n", 1, 4, f), 4u);
  EXPECT_TRUE(hostrt::FlushToDisk(f));
  EXPECT_EQ(dir.Read("flushed.bin"), "abc\n") << "readable before the file is closed";
  std::fclose(f);
}

TEST(BaseFileSave, AFailedReplaceKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempFolder dir;
  dir.Write("list.uva", "old list");
  BaseFile* file = BaseFile::Alloc();
  ASSERT_TRUE(file->Open(Filename(dir.Path("list.uva")), FILEOPEN_WRITE));
  ASSERT_TRUE(file->WriteBytes("new list", 8));
  {
    Blocked hold(dir.Path("list.uva"));
    EXPECT_FALSE(file->Close());
  }
  EXPECT_EQ(file->GetError(), FILEERROR_CLOSE);
  BaseFile::Free(file);
#ifdef _WIN32
  EXPECT_EQ(dir.Read("list.uva"), "old list");
  EXPECT_EQ(dir.Files(), 1u) << "no temporary file left";
#else
  EXPECT_TRUE(fs::is_directory(dir.Path("list.uva"))) << "what stood there is left alone";
  EXPECT_EQ(dir.Files(), 1u) << "no temporary file left";
#endif
}

#ifdef _WIN32
TEST(Filename, TakesBothSlashesOnWindows) {
  const Filename f("C:\\plugins\\Pelterra\\res/strings_us\\c4d_strings.str");
  EXPECT_EQ(f.GetFile().GetString(), "c4d_strings.str");
  EXPECT_EQ(f.GetDirectory().GetString(), "C:\\plugins\\Pelterra\\res/strings_us");
  EXPECT_EQ((Filename("C:\\plugins\\") + Filename("Pelterra")).GetString(), "C:\\plugins\\Pelterra");
  EXPECT_EQ((Filename("C:\\plugins") + Filename("res")).GetString(), "C:\\plugins\\res");
  Filename g("C:\\out\\old.uva");
  g.SetFile(Filename("a\\b.uva"));
  EXPECT_EQ(g.GetString(), "C:\\out\\a_b.uva") << "a file name holds no separator";
}
#endif
