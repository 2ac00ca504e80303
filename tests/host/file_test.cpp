#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "c4d_file.h"

namespace fs = std::filesystem;

TEST(Filename, ComponentsAndSuffix) {
  Filename f = Filename("/a/b") + "res" + "debug.txt";
  EXPECT_EQ(f.GetString(), "/a/b/res/debug.txt");
  EXPECT_EQ(f.GetFile().GetString(), "debug.txt");
  EXPECT_EQ(f.GetDirectory().GetString(), "/a/b/res");
  EXPECT_EQ(f.GetSuffix(), "txt");
  EXPECT_TRUE(f.CheckSuffix("TXT"));
  f.SetSuffix("uva");
  EXPECT_EQ(f.GetString(), "/a/b/res/debug.uva");
  Filename noSuffix("/a.b/file");
  EXPECT_EQ(noSuffix.GetSuffix(), "");
  noSuffix.SetSuffix("eps");
  EXPECT_EQ(noSuffix.GetString(), "/a.b/file.eps");
  EXPECT_EQ(Filename(".hidden").GetSuffix(), "");
}

TEST(Filename, ExistsAsFileOrFolder) {
  EXPECT_TRUE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/CMakeLists.txt")));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/CMakeLists.txt"), true));
  EXPECT_TRUE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/res"), true));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/res")));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/no-such-file")));
}

TEST(Filename, SetFileAndFolder) {
  Filename f("/docs/scene.c4d");
  f.SetFile(Filename("a/b\\c.uva"));
  EXPECT_EQ(f.GetString(), "/docs/a_b\\c.uva") << "a '/' in a file name is no folder";
  f.SetFile(Filename(String("x\0y", 3)));
  EXPECT_EQ(f.GetString(), "/docs/x_y");
  f.SetDirectory(Filename("/out"));
  EXPECT_EQ(f.GetString(), "/out/x_y");
  Filename bare;
  bare.SetFile(Filename("cube_UV.uva"));
  EXPECT_EQ(bare.GetString(), "cube_UV.uva");
}

namespace {

struct BaseFileTest : ::testing::Test {
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("pelterra_file_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  String Path(const char* name) const { return (dir / name).string(); }
  static std::string Read(const String& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(const String& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
  }
};

// Writes through an open BaseFile; returns it still open.
BaseFile* OpenForWriting(const String& path, BYTEORDER order = BYTEORDER_INTEL) {
  BaseFile* f = BaseFile::Alloc();
  EXPECT_TRUE(f->Open(Filename(path), FILEOPEN_WRITE, FILEDIALOG_NONE, order));
  return f;
}

}  // namespace

TEST_F(BaseFileTest, WritesAndReadsBytesInEitherByteOrder) {
  BaseFile* f = OpenForWriting(Path("a.bin"));
  EXPECT_TRUE(f->WriteBytes("UV_", 3));
  EXPECT_TRUE(f->WriteChar('\0'));
  EXPECT_TRUE(f->WriteInt32(0x01020304));
  EXPECT_EQ(f->GetLength(), 8);
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(Path("a.bin")), std::string("UV_\0\x04\x03\x02\x01", 8)) << "Intel: low byte first";

  f = OpenForWriting(Path("m.bin"), BYTEORDER_MOTOROLA);
  EXPECT_TRUE(f->WriteInt32(-2));
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(Path("m.bin")), std::string("\xFF\xFF\xFF\xFE", 4));

  f = BaseFile::Alloc();
  ASSERT_TRUE(f->Open(Filename(Path("a.bin")), FILEOPEN_READ, FILEDIALOG_NONE, BYTEORDER_INTEL));
  EXPECT_EQ(f->GetLength(), 8);
  Char c[4] = {};
  for (Char& x : c) EXPECT_TRUE(f->ReadChar(&x));
  EXPECT_EQ(std::string(c, 4), std::string("UV_\0", 4));
  Int32 v = 0;
  EXPECT_TRUE(f->ReadInt32(&v));
  EXPECT_EQ(v, 0x01020304);
  EXPECT_EQ(f->GetError(), FILEERROR_NONE);
  EXPECT_FALSE(f->ReadChar(&c[0])) << "at the end";
  EXPECT_EQ(f->GetError(), FILEERROR_FILE_END);
  EXPECT_FALSE(f->WriteChar('x')) << "opened for reading";
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
}

// The named file changes only when Close has written everything; no temporary file is left.
TEST_F(BaseFileTest, ReplacesTheFileOnlyOnASuccessfulClose) {
  const String path = Path("list.uva");
  Write(path, "old contents");
  fs::permissions(path, fs::perms(0640));

  BaseFile* f = OpenForWriting(path);
  EXPECT_TRUE(f->WriteBytes("new", 3));
  EXPECT_EQ(Read(path), "old contents") << "nothing reaches the file before Close";
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640)) << "the old file's permissions";
  EXPECT_EQ(FilesInDir(), 1u);

  // A write that failed (the error a full disk gives) keeps the old file.
  f = OpenForWriting(path);
  EXPECT_TRUE(f->WriteBytes("half", 4));
  f->SetError(FILEERROR_WRITE);
  EXPECT_FALSE(f->WriteBytes("more", 4)) << "nothing more after a failed write";
  EXPECT_FALSE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(FilesInDir(), 1u);

  // Free closes, as Close does.
  f = OpenForWriting(path);
  EXPECT_TRUE(f->WriteBytes("freed", 5));
  BaseFile::Free(f);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(Read(path), "freed");
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(BaseFileTest, WritingThroughALinkReplacesItsFile) {
  Write(Path("real.eps"), "old");
  fs::create_symlink(Path("real.eps"), Path("link.eps"));
  BaseFile* f = OpenForWriting(Path("link.eps"));
  EXPECT_TRUE(f->WriteBytes("new", 3));
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_TRUE(fs::is_symlink(Path("link.eps")));
  EXPECT_EQ(Read(Path("real.eps")), "new");
}

TEST_F(BaseFileTest, RefusesWhatIsNoFile) {
  fs::create_directories(dir / "folder");
  const struct {
    String path;
    FILEOPEN mode;
  } cases[] = {
      {Path("missing.uva"), FILEOPEN_READ},
      {Path("folder"), FILEOPEN_READ},
      {Path("folder"), FILEOPEN_WRITE},
      {Path("no-such-folder/x.uva"), FILEOPEN_WRITE},
      {"", FILEOPEN_WRITE},
  };
  for (const auto& c : cases) {
    BaseFile* f = BaseFile::Alloc();
    EXPECT_FALSE(f->Open(Filename(c.path), c.mode)) << c.path;
    EXPECT_EQ(f->GetError(), FILEERROR_OPEN) << c.path;
    EXPECT_FALSE(f->WriteChar('x'));
    Char ch = 0;
    EXPECT_FALSE(f->ReadChar(&ch));
    EXPECT_FALSE(f->Close());
    BaseFile::Free(f);
  }
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  EXPECT_EQ(FilesInDir(), 1u);
}
