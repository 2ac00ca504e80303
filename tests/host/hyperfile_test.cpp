// Container files: the byte layout, round trips, and the damage the reader must refuse.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "c4d_hyperfile.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr Int32 kTemp = 0x74656D70;  // 'temp'
using Bytes = std::string;

// Little-endian pieces, written out by hand.
Bytes U32(UInt32 v) {
  Bytes b;
  for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  return b;
}
Bytes U64(UInt64 v) {
  return U32(static_cast<UInt32>(v)) + U32(static_cast<UInt32>(v >> 32));
}

// A whole file around the given value bytes: header, values, end mark, length and CRC-32.
Bytes Framed(const Bytes& values, UInt32 ident = kTemp, UInt32 version = 1) {
  Bytes b = Bytes("\x89PHF\r\n\x1A\n", 8) + static_cast<char>(version) +
            static_cast<char>(version >> 8) + Bytes(2, '\0') + U32(ident) + values + '\xFF';
  b += U64(b.size() + 8 + 4);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size()));
  return b + U32(static_cast<UInt32>(crc));
}

struct HyperFileTest : ::testing::Test {
  TempFolder tmp;
  String Path(const char* name = "list.uvb") const { return tmp.Path(name); }
  Bytes Read(const String& path) const { return tmp.Read(path); }
  void Write(const String& path, const Bytes& bytes) const { tmp.Write(path, bytes); }
  // Writes the containers to a file; false when any step failed.
  bool Save(const String& path, std::initializer_list<const BaseContainer*> cs) {
    HyperFile* hf = HyperFile::Alloc();
    bool ok = hf->Open(kTemp, Filename(path), FILEOPEN_WRITE, FILEDIALOG_IGNOREOPEN);
    for (const BaseContainer* c : cs) ok = ok && hf->WriteContainer(*c);
    ok = hf->Close() && ok;
    HyperFile::Free(hf);
    return ok;
  }
  // Opens path for reading; nullptr when it does not open.
  HyperFile* Load(const String& path, Int32 ident = kTemp) {
    HyperFile* hf = HyperFile::Alloc();
    if (hf->Open(ident, Filename(path), FILEOPEN_READ, FILEDIALOG_IGNOREOPEN)) return hf;
    EXPECT_EQ(hf->GetError() == FILEERROR_WRONG_VALUE || hf->GetError() == FILEERROR_OPEN, true);
    HyperFile::Free(hf);
    return nullptr;
  }
};

}  // namespace

// One container with one Int32, byte by byte as docs/formats.md lays it out.
TEST_F(HyperFileTest, ByteLayout) {
  BaseContainer bc(5);
  bc.SetInt32(-2, 8);
  ASSERT_TRUE(Save(Path(), {&bc}));
  const Bytes values = Bytes("\x07", 1) + U32(5) + U32(1) + U32(0xFFFFFFFE) + '\x01' + U32(8);
  const Bytes want = Framed(values);
  EXPECT_EQ(want.size(), 16u + 18u + 13u);  // header, one container of one entry, end
  EXPECT_EQ(Read(Path()), want);
}

TEST_F(HyperFileTest, RoundTripKeepsEveryValueAndTheOrder) {
  BaseContainer inner(3);
  inner.SetString(1, "inner");
  BaseContainer bc;
  bc.SetString(-1, String("UV_\xE4\0x", 6));  // 8-bit text with a zero byte
  bc.SetVector(0, Vector(std::nan(""), -0.0, 1e-310));
  bc.SetFloat(7, 0.25);
  bc.SetInt64(8, Int64(1) << 40);
  bc.SetMatrix(9, Matrix(Vector(1, 2, 3), Vector(4, 5, 6), Vector(7, 8, 9), Vector(1, 1, 1)));
  bc.SetTime(10, BaseTime(5, 24));
  bc.SetContainer(11, inner);
  bc.SetData(12, GeData());
  bc.SetInt32(-2, 8);
  BaseContainer second(2);
  second.SetInt32(0, 42);
  ASSERT_TRUE(Save(Path(), {&bc, &second}));

  HyperFile* hf = Load(Path());
  ASSERT_NE(hf, nullptr);
  BaseContainer got;
  got.SetInt32(99, 1);  // flush replaces what was there
  ASSERT_TRUE(hf->ReadContainer(&got, true));
  ASSERT_EQ(got.GetCount(), bc.GetCount());
  for (Int32 i = 0; i < bc.GetCount(); ++i) {
    EXPECT_EQ(got.GetIndexId(i), bc.GetIndexId(i)) << i;
    EXPECT_EQ(got.GetIndexData(i)->GetType(), bc.GetIndexData(i)->GetType()) << i;
  }
  EXPECT_EQ(got.GetString(-1), bc.GetString(-1));
  const Vector v = got.GetVector(0);
  EXPECT_TRUE(std::isnan(v.x) && std::signbit(v.y) && v.z == 1e-310);
  EXPECT_EQ(got.GetFloat(7), 0.25);
  EXPECT_EQ(got.GetInt64(8), Int64(1) << 40);
  EXPECT_EQ(got.GetMatrix(9), bc.GetMatrix(9));
  EXPECT_EQ(got.GetTime(10), BaseTime(5, 24));
  EXPECT_EQ(got.GetContainer(11).GetString(1), "inner");
  EXPECT_EQ(got.GetInt32(-2), 8);

  BaseContainer merged;
  merged.SetInt32(99, 1);
  ASSERT_TRUE(hf->ReadContainer(&merged, false));
  EXPECT_EQ(merged.GetInt32(0), 42);
  EXPECT_EQ(merged.GetInt32(99), 1) << "without flush the read entries are added";
  EXPECT_FALSE(hf->ReadContainer(&merged, true)) << "no third container";
  EXPECT_EQ(hf->GetError(), FILEERROR_FILE_END);
  HyperFile::Free(hf);
}

// Every cut and every changed byte of a file is found before anything is read from it, and so
// are a foreign identifier and a newer version.
TEST_F(HyperFileTest, RefusesTruncatedOrDamagedFiles) {
  BaseContainer bc;
  bc.SetString(-1, "UV_x");
  bc.SetVector(0, Vector(0.5, 0.25, 0));
  bc.SetInt32(-2, 4);
  ASSERT_TRUE(Save(Path(), {&bc}));
  const Bytes good = Read(Path());
  HyperFile* hf = Load(Path());
  ASSERT_NE(hf, nullptr);
  HyperFile::Free(hf);

  for (size_t n = 0; n < good.size(); ++n) {
    Write(Path("cut.uvb"), good.substr(0, n));
    EXPECT_EQ(Load(Path("cut.uvb")), nullptr) << "cut after " << n << " bytes";
  }
  for (size_t i = 0; i < good.size(); ++i) {
    Bytes bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x10);
    Write(Path("bad.uvb"), bad);
    EXPECT_EQ(Load(Path("bad.uvb")), nullptr) << "byte " << i << " changed";
  }
  Write(Path("long.uvb"), good + "x");
  EXPECT_EQ(Load(Path("long.uvb")), nullptr) << "bytes after the end";
  EXPECT_EQ(Load(Path(), 0x61626364), nullptr) << "another identifier";
  Write(Path("v2.uvb"), Framed(Bytes(), kTemp, 2));
  EXPECT_EQ(Load(Path("v2.uvb")), nullptr) << "a newer version";
}

// A file whose checksum is right but whose values make no sense (made on purpose, or by a
// faulty writer): the read fails and leaves the container as it was.
TEST_F(HyperFileTest, RefusesValuesThatDoNotHold) {
  const Bytes entry = U32(0) + '\x01' + U32(7);
  Bytes deep;
  for (int i = 0; i < 80; ++i) deep += Bytes("\x07", 1) + U32(0) + U32(1) + U32(1);
  const struct {
    const char* what;
    Bytes values;
  } cases[] = {
      {"more entries than bytes", Bytes("\x07", 1) + U32(0) + U32(1000) + entry},
      {"an identifier twice", Bytes("\x07", 1) + U32(0) + U32(2) + entry + entry},
      {"an unknown type", Bytes("\x07", 1) + U32(0) + U32(1) + U32(0) + '\x42' + U32(7)},
      {"a string longer than the file",
       Bytes("\x07", 1) + U32(0) + U32(1) + U32(0) + '\x06' + U32(0xFFFFFFF0) + "abc"},
      {"a value cut short", Bytes("\x07", 1) + U32(0) + U32(1) + U32(0) + '\x04' + U64(0)},
      {"containers nested too deep", deep + Bytes("\x07", 1) + U32(0) + U32(0)},
      {"no container", Bytes("\x01", 1) + U32(7)},
  };
  for (const auto& c : cases) {
    Write(Path(), Framed(c.values));
    HyperFile* hf = Load(Path());
    ASSERT_NE(hf, nullptr) << c.what;
    BaseContainer bc(9);
    bc.SetInt32(1, 1);
    EXPECT_FALSE(hf->ReadContainer(&bc, true)) << c.what;
    EXPECT_EQ(hf->GetError(), FILEERROR_WRONG_VALUE) << c.what;
    EXPECT_EQ(bc.GetId(), 9) << c.what;
    EXPECT_EQ(bc.GetCount(), 1) << c.what;
    HyperFile::Free(hf);
  }
}

// A value the format cannot hold writes nothing, and the file is not put in place.
TEST_F(HyperFileTest, AFailedWriteKeepsTheOldFile) {
  Write(Path(), "old");
  BaseContainer bc;
  bc.SetInt32(0, 1);
  bc.SetData(1, GeData(BaseLink()));
  HyperFile* hf = HyperFile::Alloc();
  ASSERT_TRUE(hf->Open(kTemp, Filename(Path()), FILEOPEN_WRITE, FILEDIALOG_IGNOREOPEN));
  EXPECT_FALSE(hf->WriteContainer(bc));
  EXPECT_EQ(hf->GetError(), FILEERROR_WRONG_VALUE);
  EXPECT_FALSE(hf->Close());
  HyperFile::Free(hf);
  EXPECT_EQ(Read(Path()), "old");
  EXPECT_EQ(tmp.Files(), 1u) << "no temporary file left";
}
