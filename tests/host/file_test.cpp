#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "c4d_file.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The components joined as std::filesystem joins them: with '/', on Windows with '\\'.
std::string Joined(const fs::path& first, std::initializer_list<const char*> rest) {
  fs::path p = first;
  for (const char* c : rest) p /= c;
  return p.string();
}

}  // namespace

TEST(Filename, ComponentsAndSuffix) {
  Filename f = Filename("/a/b") + "res" + "debug.txt";
  EXPECT_EQ(f.GetString(), Joined("/a/b", {"res", "debug.txt"}));
  EXPECT_EQ(f.GetFile().GetString(), "debug.txt");
  EXPECT_EQ(f.GetDirectory().GetString(), Joined("/a/b", {"res"}));
  EXPECT_EQ(f.GetSuffix(), "txt");
  EXPECT_TRUE(f.CheckSuffix("TXT"));
  f.SetSuffix("uva");
  EXPECT_EQ(f.GetString(), Joined("/a/b", {"res", "debug.uva"}));
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
  f.SetFile(Filename(String("a/b\0c.uva", 9)));
  EXPECT_EQ(f.GetString(), Joined("/docs", {"a_b_c.uva"})) << "a '/' in a file name is no folder";
  f.SetDirectory(Filename("/out"));
  EXPECT_EQ(f.GetString(), Joined("/out", {"a_b_c.uva"}));
}

namespace {

struct BaseFileTest : ::testing::Test {
  TempFolder tmp;
  String Path(const char* name) const { return tmp.Path(name); }
  static std::string Read(const String& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Opens path for writing and writes bytes; the file is still open.
  BaseFile* Written(const String& path, const std::string& bytes,
                    BYTEORDER order = BYTEORDER_INTEL) {
    BaseFile* f = BaseFile::Alloc();
    EXPECT_TRUE(f->Open(Filename(path), FILEOPEN_WRITE, FILEDIALOG_NONE, order));
    EXPECT_TRUE(f->WriteBytes(bytes.data(), static_cast<Int64>(bytes.size())));
    return f;
  }
};

}  // namespace

TEST_F(BaseFileTest, BytesCharsAndIntegersInEitherByteOrder) {
  BaseFile* f = Written(Path("a.bin"), "UV");
  EXPECT_TRUE(f->WriteChar('\0'));
  EXPECT_TRUE(f->WriteInt32(0x01020304));
  EXPECT_EQ(f->GetLength(), 7);
  BaseFile::Free(f);  // closes
  EXPECT_EQ(Read(Path("a.bin")), std::string("UV\0\x04\x03\x02\x01", 7)) << "Intel: low byte first";
  f = Written(Path("m.bin"), "", BYTEORDER_MOTOROLA);
  EXPECT_TRUE(f->WriteInt32(-2));
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(Path("m.bin")), "\xFF\xFF\xFF\xFE");

  f = BaseFile::Alloc();
  ASSERT_TRUE(f->Open(Filename(Path("a.bin")), FILEOPEN_READ, FILEDIALOG_NONE, BYTEORDER_INTEL));
  EXPECT_EQ(f->GetLength(), 7);
  Char c[3] = {};
  for (Char& x : c) EXPECT_TRUE(f->ReadChar(&x));
  Int32 v = 0;
  EXPECT_TRUE(f->ReadInt32(&v));
  EXPECT_EQ(v, 0x01020304);
  EXPECT_EQ(f->GetError(), FILEERROR_NONE);
  EXPECT_FALSE(f->ReadChar(&c[0])) << "at the end";
  EXPECT_EQ(f->GetError(), FILEERROR_FILE_END);
  EXPECT_FALSE(f->WriteChar('x')) << "opened for reading";
  BaseFile::Free(f);
}

// The named file changes only when Close has written everything; a link keeps pointing at the
// replaced file, the permissions stay, and no temporary file is left.
TEST_F(BaseFileTest, ReplacesTheFileOnlyOnASuccessfulClose) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and mode bits are Linux facilities; the Windows save is tested "
                  "in file_system_test";
#endif
  const String path = Path("list.uva");
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms(0640));
  fs::create_symlink(path, Path("link.uva"));

  BaseFile* f = Written(Path("link.uva"), "new");
  EXPECT_EQ(Read(path), "old") << "nothing reaches the file before Close";
  EXPECT_TRUE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(path), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.uva")));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
  EXPECT_EQ(tmp.Files(), 2u);

  // A write that failed (as on a full disk) keeps the old file.
  f = Written(path, "half");
  f->SetError(FILEERROR_WRITE);
  EXPECT_FALSE(f->WriteBytes("more", 4)) << "nothing more after a failed write";
  EXPECT_FALSE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(tmp.Files(), 2u);
}

TEST_F(BaseFileTest, RefusesWhatIsNoFile) {
  fs::create_directories(tmp.Dir() / "folder");
  const std::pair<String, FILEOPEN> cases[] = {{Path("missing.uva"), FILEOPEN_READ},
                                               {Path("folder"), FILEOPEN_READ},
                                               {Path("folder"), FILEOPEN_WRITE},
                                               {Path("no-such/x.uva"), FILEOPEN_WRITE},
                                               {"", FILEOPEN_WRITE}};
  for (const auto& [path, mode] : cases) {
    BaseFile* f = BaseFile::Alloc();
    EXPECT_FALSE(f->Open(Filename(path), mode)) << path;
    EXPECT_EQ(f->GetError(), FILEERROR_OPEN) << path;
    EXPECT_FALSE(f->WriteChar('x'));
    EXPECT_FALSE(f->Close());
    BaseFile::Free(f);
  }
  EXPECT_TRUE(fs::is_directory(tmp.Dir() / "folder"));
  EXPECT_EQ(tmp.Files(), 1u);
}
