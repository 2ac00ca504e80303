// UV list files: the bytes the saves write, round trips, the loader's grouping and selection
// rules, and damaged lists, which must never change the object.
#include "UVList.h"

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "c4d_hyperfile.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

struct UVListTest : UVScene {
  fs::path dir;

  void SetUp() override {
    UVScene::SetUp();
    dir = fs::temp_directory_path() /
          ("pelterra_uvlist_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    UVScene::TearDown();
  }
  String Path(const String& name) const { return (dir / name.str()).string(); }
  Bytes Read(const String& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const String& name, const Bytes& bytes) const {
    fs::remove(Path(name));
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  // The tools, answering the file selector with a file of the test folder.
  Bool SaveAscii(const String& name) {
    host.QueueFile(Path(name));
    return SaveUVlistAscii();
  }
  Bool SaveBinary(const String& name) {
    host.QueueFile(Path(name));
    return SaveUVlistBinary();
  }
  Bool Load(const String& name) {
    host.QueueFile(Path(name));
    return LoadUVlist();
  }
  // The UVs as bits: -0 and 0 differ, NaN equals itself.
  std::vector<UVWStruct> Bits() const { return All(); }
  static bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
  }
  // An object of one triangle (0.5, 0.25, 0) (1, 0, 0) (0, 0.125, 1) and one quad.
  void TriangleAndQuad(const String& name = "obj") {
    Scene({Tri(V(0.5, 0.25), V(1, 0), V(0, 0.125, 1)),
           UVWStruct(V(0.25, 0.5), V(0.75, 0.5), V(0.75, 1), V(0.1, 1, -0.5))},
          Muvpolygons);
    op->SetName(name);
  }
  // What a user can see change in the document.
  struct Seen {
    std::vector<UVWStruct> uvs;
    Int32 undo;
    UInt32 dirty;
    Int32 events;
  };
  Seen Now() const {
    return {All(), doc->GetUndoCount(), op->GetDirty(DIRTYFLAGS_DATA), host.EventCount()};
  }
  void ExpectUnchanged(const Seen& before, const char* what) const {
    const Seen now = Now();
    EXPECT_TRUE(SameBits(now.uvs, before.uvs)) << what;
    EXPECT_EQ(now.undo, before.undo) << what;
    EXPECT_EQ(now.dirty, before.dirty) << what << ": no update message";
    EXPECT_EQ(now.events, before.events) << what;
  }
};

// The header field of an ASCII list: 80 bytes, then the line feed.
Bytes Header(const Bytes& text) {
  Bytes h = text;
  h.resize(80, '\0');
  return h + "\n";
}

}  // namespace

// A triangle gives three lines and a quad four; numbers are the shortest exact texts.
TEST_F(UVListTest, AsciiFileByteForByte) {
  TriangleAndQuad();
  doc->SetDocumentPath(dir.string());
  const Seen before = Now();
  EXPECT_TRUE(SaveAscii("out.uva"));
  const Bytes want = Header("UV_obj") +
                     "0 0.5 0.25 0\n"
                     "0 1 0 0\n"
                     "0 0 0.125 1\n"
                     "1 0.25 0.5 0\n"
                     "1 0.75 0.5 0\n"
                     "1 0.75 1 0\n"
                     "1 0.1 1 -0.5\n";
  EXPECT_EQ(Read("out.uva"), want);
  ExpectUnchanged(before, "a save changes nothing");

  const hostrt::FileSelectRecord& r = host.FileSelects().back();
  EXPECT_EQ(r.title, "Save UVlist");
  EXPECT_EQ(r.flags, FILESELECT_SAVE);
  EXPECT_EQ(r.type, FILESELECTTYPE_ANYTHING);
  EXPECT_EQ(r.offered, Path("obj_UV.uva"));
}

TEST_F(UVListTest, HeaderFieldCutsLongNames) {
  const Bytes name74(74, 'n');
  const struct {
    Bytes name, text;
  } cases[] = {
      {name74 + "TAIL", "UV_" + name74},    // 77 bytes of text, three zero bytes
      {name74, "UV_" + name74},             // exactly full
      {"a\nb", "UV_a_b"},                   // a line feed would end the header line early
      {"", "UV_"},
  };
  for (const auto& c : cases) {
    Scene({Quad(0, 0, 1)}, Muvpoints);
    op->SetName(c.name);
    ASSERT_TRUE(SaveAscii("h.uva"));
    const Bytes file = Read("h.uva");
    EXPECT_EQ(file.substr(0, 81), Header(c.text)) << c.name;
    // The file loads back: its header line begins with "UV_".
    EXPECT_TRUE(Load("h.uva")) << c.name;
    EXPECT_EQ(doc->GetUndoCount(), 1);
    doc->FlushUndoBuffer();
  }
}

// The binary list's container: -1 the name, four vectors a polygon (a triangle repeats c), -2
// the entry count, in that order.
TEST_F(UVListTest, BinaryContainerEntries) {
  TriangleAndQuad("a long name with blanks");
  doc->SetDocumentPath("/docs");
  EXPECT_TRUE(SaveBinary("out.uvb"));
  EXPECT_EQ(host.FileSelects().back().offered, "/docs/a long name with blanks_UV.uvb");
  EXPECT_EQ(host.FileSelects().back().title, "Save UVlist");

  HyperFile* hf = HyperFile::Alloc();
  ASSERT_TRUE(hf->Open(kUVlistIdent, Filename(Path("out.uvb")), FILEOPEN_READ, FILEDIALOG_NONE));
  BaseContainer bc;
  ASSERT_TRUE(hf->ReadContainer(&bc, true));
  HyperFile::Free(hf);
  const Int32 order[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, -2};
  ASSERT_EQ(bc.GetCount(), 10);
  for (Int32 i = 0; i < 10; ++i) EXPECT_EQ(bc.GetIndexId(i), order[i]) << i;
  EXPECT_EQ(bc.GetString(-1), "UV_a long name with blanks");
  EXPECT_EQ(bc.GetVector(2), V(0, 0.125, 1));
  EXPECT_EQ(bc.GetVector(3), V(0, 0.125, 1)) << "a triangle's 4i + 3 is its c";
  EXPECT_EQ(bc.GetVector(7), V(0.1, 1, -0.5));
  EXPECT_EQ(bc.GetInt32(-2), 8);
  EXPECT_EQ(bc.GetIndexData(9)->GetType(), DA_LONG);
}

// Saving and loading back gives every coordinate bit for bit; a triangle keeps its own d, and
// the load is one undo step that gives the UVs from before it back.
TEST_F(UVListTest, RoundTripsAreExactAndUndoable) {
  std::mt19937_64 rng(5);
  auto any = [&rng]() {
    Float f;
    do f = std::bit_cast<Float>(rng());
    while (!std::isfinite(f));
    return f;
  };
  std::vector<UVWStruct> uvs;
  for (int i = 0; i < 40; ++i) {
    UVWStruct s(V(any(), 1.0 / 3.0, -0.0), V(0.1 + 0.2, 1e-300, any()), V(any(), any(), 5e-324),
                V(123456.789, any(), -1e300));
    if (i % 3 == 0) s.d = kTriD;  // a triangle
    uvs.push_back(s);
  }
  for (const char* file : {"r.uva", "r.uvb"}) {
    SCOPED_TRACE(file);
    Scene(uvs, Muvpolygons);
    const std::vector<UVWStruct> saved = Bits();
    const bool ascii = String(file).ends_with("uva");
    ASSERT_TRUE(ascii ? SaveAscii(file) : SaveBinary(file));
    // Scramble; the triangles get a d of their own, which the load must keep.
    std::vector<UVWStruct> scrambled;
    for (Int32 i = 0; i < 40; ++i) {
      UVWStruct s = Quad(0.5, 0.5, 0.1);
      tag->SetSlow(i, s);
      scrambled.push_back(s);
    }
    const Int32 undoBefore = doc->GetUndoCount();
    const UInt32 dirtyBefore = op->GetDirty(DIRTYFLAGS_DATA);
    ASSERT_TRUE(Load(file));
    std::vector<UVWStruct> want = saved;
    for (size_t i = 0; i < want.size(); i += 3) want[i].d = scrambled[i].d;
    EXPECT_TRUE(SameBits(Bits(), want));
    EXPECT_EQ(doc->GetUndoCount(), undoBefore + 1);
    EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirtyBefore + 1);
    EXPECT_EQ(host.FileSelects().back().title, "Load UVlist");
    EXPECT_EQ(host.FileSelects().back().flags, FILESELECT_LOAD);
    EXPECT_TRUE(String(host.FileSelects().back().offered).ends_with("_UV.uva"));

    ASSERT_TRUE(doc->DoUndo());
    EXPECT_TRUE(SameBits(Bits(), scrambled)) << "undo gives the UVs before the load back";
  }
}

// With some polygons selected only they take UVs; the others' lines and entries are read and
// passed over. A binary list of fewer polygons changes only its first ones.
TEST_F(UVListTest, SelectionAndShortBinaryLists) {
  const std::vector<UVWStruct> source = {Quad(0, 0, 0.1), Quad(0.2, 0, 0.1), Quad(0.4, 0, 0.1)};
  const std::vector<UVWStruct> target = {Quad(0.5, 0.5, 0.2), Quad(0.6, 0.5, 0.2),
                                         Quad(0.7, 0.5, 0.2)};
  Scene(source, Muvpolygons);
  ASSERT_TRUE(SaveAscii("s.uva"));
  ASSERT_TRUE(SaveBinary("s.uvb"));
  for (const char* file : {"s.uva", "s.uvb"}) {
    Scene(target, Muvpolygons);
    op->GetPolygonS()->Select(1);
    ASSERT_TRUE(Load(file));
    EXPECT_TRUE(SameBits(All(), {target[0], source[1], target[2]})) << file;
  }

  Scene({source[0], source[1]}, Muvpolygons);
  ASSERT_TRUE(SaveBinary("two.uvb"));
  Scene(target, Muvpolygons);
  ASSERT_TRUE(Load("two.uvb"));
  EXPECT_TRUE(SameBits(All(), {source[0], source[1], target[2]}));
}

// Groups follow the target's corner counts: the group goes to its last line's polygon, and a
// triangle's line after three lines of a quad ends a group of four (without running past the
// four-corner buffer); the triangle keeps its d.
TEST_F(UVListTest, AsciiGroupsFollowTheTargetsCornerCounts) {
  // Three lines of quad 0, then one of triangle 1: k reaches 4 while the triangle needs 3, so
  // the four lines go to polygon 1 as a, b, c (0.1, 0.2, 0.3) and the triangle keeps its d.
  const Bytes fourLines = Header("UV_q") + "0 0.1 0 0\n0 0.2 0 0\n0 0.3 0 0\n1 0.4 0 0\n";
  Write("g4.uva", fourLines);
  const UVWStruct quad = Quad(0.5, 0.5, 0.2), tri = Tri(V(0.9, 0.9), V(0.8, 0.9), V(0.8, 0.8));
  Scene({quad, tri}, Muvpolygons);
  ASSERT_TRUE(Load("g4.uva"));
  EXPECT_TRUE(SameBits(All(), {quad, Tri(V(0.1, 0), V(0.2, 0), V(0.3, 0))}));
  // Three more lines of the triangle start a new group and go to it too.
  Write("g7.uva", fourLines + "1 0.5 0 0\n1 0.6 0 0\n1 0.7 0 0\n");
  Scene({quad, tri}, Muvpolygons);
  ASSERT_TRUE(Load("g7.uva"));
  EXPECT_TRUE(SameBits(All(), {quad, Tri(V(0.5, 0), V(0.6, 0), V(0.7, 0))}));

  // A list saved from (quad, triangle) onto (triangle, quad): seven lines cut 3 + 4.
  Scene({UVWStruct(V(1, 0), V(2, 0), V(3, 0), V(4, 0)), Tri(V(5, 0), V(6, 0), V(7, 0))},
        Muvpolygons);
  ASSERT_TRUE(SaveAscii("qt.uva"));
  Scene({tri, quad}, Muvpolygons);
  ASSERT_TRUE(Load("qt.uva"));
  // Lines 0:1 0:2 0:3 -> triangle 0; then 0:4 1:5 1:6 1:7 -> quad 1 (its last line's polygon).
  EXPECT_TRUE(SameBits(All(), {Tri(V(1, 0), V(2, 0), V(3, 0)),
                               UVWStruct(V(4, 0), V(5, 0), V(6, 0), V(7, 0))}));
}

// Lines that cannot be used spoil their group, which is skipped; the other groups load. A
// CR line end is part of the last number's blanks.
TEST_F(UVListTest, AsciiLinesThatCannotBeUsedSkipTheirGroup) {
  const Bytes good1 = "1 0.9 0 0\n1 0.8 0 0\n1 0.7 0 0\n1 0.6 0 0\n";
  const Bytes q0 = "0 0.1 0.1 0\n0 0.2 0.1 0\n0 0.2 0.2 0\n";
  const struct {
    const char* what;
    Bytes lastLineOfGroup0;
  } cases[] = {
      {"index past the polygons", "2 0.1 0.2 0\n"},
      {"negative index", "-1 0.1 0.2 0\n"},
      {"index that is no integer", "0.0 0.1 0.2 0\n"},
      {"two numbers only", "0 0.1 0.2\n"},
      {"one number only", "0 0.1\n"},
      {"a word", "0 0.1 abc 0\n"},
      {"two blanks in a row", "0 0.1  0.2 0\n"},
      {"more than four tokens", "0 0.1 0.2 0 9\n"},
      {"not a number", "0 nan 0.2 0\n"},
      {"infinite", "0 0.1 -inf 0\n"},
      {"too large", "0 0.1 1e999 0\n"},
  };
  const UVWStruct keep0 = Quad(0.5, 0.5, 0.2), keep1 = Quad(0.1, 0.7, 0.1);
  for (const auto& c : cases) {
    Write("bad.uva", Header("UV_x") + q0 + c.lastLineOfGroup0 + good1);
    Scene({keep0, keep1}, Muvpolygons);
    EXPECT_TRUE(Load("bad.uva")) << c.what;
    EXPECT_TRUE(SameBits(All(), {keep0, UVWStruct(V(0.9, 0), V(0.8, 0), V(0.7, 0), V(0.6, 0))}))
        << c.what;
  }

  // CR LF line ends load exactly like LF ones.
  Scene({Quad(0.125, 0.25, 0.5), Tri(V(0.3, 0.1), V(0.2, 0.1), V(1.0 / 3.0, 0.2))}, Muvpoints);
  const std::vector<UVWStruct> saved = All();
  ASSERT_TRUE(SaveAscii("lf.uva"));
  Bytes crlf;
  for (char ch : Read("lf.uva")) crlf += ch == '\n' ? Bytes("\r\n") : Bytes(1, ch);
  Write("crlf.uva", crlf);
  for (Int32 i = 0; i < 2; ++i) tag->SetSlow(i, Quad(0, 0, 1));
  ASSERT_TRUE(Load("crlf.uva"));
  std::vector<UVWStruct> want = saved;
  want[1].d = Quad(0, 0, 1).d;
  EXPECT_TRUE(SameBits(All(), want));
}

// A list that is no list, or that stops early, leaves the object as it was: no UV changes, no
// undo step, no update message.
TEST_F(UVListTest, ListsThatFailChangeNothing) {
  Scene({Quad(0, 0, 0.1), Quad(0.2, 0, 0.1)}, Muvpolygons);
  ASSERT_TRUE(SaveAscii("ok.uva"));
  ASSERT_TRUE(SaveBinary("ok.uvb"));
  const Bytes ascii = Read("ok.uva"), binary = Read("ok.uvb");
  Bytes noUV = ascii;
  noUV[0] = 'X';
  Bytes flipped = binary;
  flipped[binary.size() / 2] ^= 0x01;

  const struct {
    const char* what;
    const char* file;
    Bytes bytes;
  } cases[] = {
      {"a header without UV_", "a.uva", noUV},
      {"an empty line at the end", "b.uva", ascii + "\n"},
      {"an empty line in the middle", "c.uva", ascii.substr(0, 81) + "\n" + ascii.substr(81)},
      {"no line feed at all", "d.uva", Bytes("UV_obj 0 0 0 0")},
      {"an empty file", "e.uva", Bytes()},
      {"a binary list cut short", "f.uvb", binary.substr(0, binary.size() - 20)},
      {"a binary list with a byte changed", "g.uvb", flipped},
      {"a binary list of another format", "h.uvb", ascii},
  };
  for (Int32 i = 0; i < 2; ++i) tag->SetSlow(i, Quad(0.5, 0.5, 0.3));
  for (const auto& c : cases) {
    Write(c.file, c.bytes);
    const Seen before = Now();
    EXPECT_FALSE(Load(c.file)) << c.what;
    ExpectUnchanged(before, c.what);
  }
  const Seen before = Now();
  EXPECT_FALSE(Load("missing.uva"));
  EXPECT_FALSE(Load("missing.uvb"));
  ExpectUnchanged(before, "a file that is not there");
}

// A binary list whose name does not begin with "UV_" is refused; a polygon whose corners are not
// finite keeps its UVs, the others load.
TEST_F(UVListTest, BinaryListContents) {
  auto write = [&](const char* file, const BaseContainer& bc) {
    HyperFile* hf = HyperFile::Alloc();
    ASSERT_TRUE(hf->Open(kUVlistIdent, Filename(Path(file)), FILEOPEN_WRITE, FILEDIALOG_NONE));
    ASSERT_TRUE(hf->WriteContainer(bc));
    ASSERT_TRUE(hf->Close());
    HyperFile::Free(hf);
  };
  BaseContainer bc;
  bc.SetString(-1, "UV_x");
  for (Int32 i = 0; i < 8; ++i) bc.SetVector(i, V(0.125 * i, 0.5, 0));
  bc.SetVector(1, V(std::nan(""), 0, 0));  // polygon 0
  bc.SetInt32(-2, 8);
  write("nan.uvb", bc);
  bc.SetString(-1, "uv_x");
  write("name.uvb", bc);
  bc.SetString(-1, "UV_x");
  bc.RemoveData(-2);
  write("nocount.uvb", bc);

  const std::vector<UVWStruct> keep = {Quad(0.5, 0.5, 0.2), Quad(0.6, 0.5, 0.2)};
  Scene(keep, Muvpolygons);
  ASSERT_TRUE(Load("nan.uvb"));
  EXPECT_TRUE(SameBits(All(), {keep[0], UVWStruct(V(0.5, 0.5), V(0.625, 0.5), V(0.75, 0.5),
                                                  V(0.875, 0.5))}));
  Scene(keep, Muvpolygons);
  const Seen before = Now();
  EXPECT_FALSE(Load("name.uvb"));
  ExpectUnchanged(before, "name without UV_");
  EXPECT_TRUE(Load("nocount.uvb")) << "no count: no polygons";
  EXPECT_TRUE(SameBits(All(), keep));
  EXPECT_EQ(doc->GetUndoCount(), before.undo) << "nothing loaded, no undo step";
}

// Preconditions, a cancelled selector and a suffix that is no list; saves that cannot write.
TEST_F(UVListTest, PreconditionsCancelAndOtherSuffixes) {
  Scene({Quad(0, 0, 1)}, Muvpolygons);
  op->KillTag(Tuvw);
  EXPECT_FALSE(SaveUVlistAscii());
  EXPECT_FALSE(SaveUVlistBinary());
  EXPECT_FALSE(LoadUVlist());
  Scene({}, Muvpolygons);
  EXPECT_FALSE(LoadUVlist()) << "no polygons";
  EXPECT_FALSE(SaveUVlistAscii()) << "a tag without UVs";
  EXPECT_TRUE(host.FileSelects().empty()) << "no file selector when a precondition fails";

  Scene({Quad(0, 0, 1)}, Muvpolygons);
  host.QueueFile("");
  EXPECT_TRUE(SaveUVlistAscii()) << "cancelled";
  EXPECT_TRUE(fs::is_empty(dir));
  Write("u.txt", Header("UV_x") + "0 9 9 9\n0 9 9 9\n0 9 9 9\n0 9 9 9\n");
  for (const char* answer : {"", "u.txt"}) {
    const Seen before = Now();
    if (*answer)
      host.QueueFile(Path(answer));
    else
      host.QueueFile("");
    EXPECT_TRUE(LoadUVlist()) << answer;
    EXPECT_TRUE(SameBits(All(), before.uvs)) << answer;
    EXPECT_EQ(doc->GetUndoCount(), before.undo) << answer;
    EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), before.dirty + 1) << answer << ": told all the same";
  }

  fs::create_directories(dir / "folder.uva");
  EXPECT_FALSE(SaveAscii("folder.uva"));
  EXPECT_FALSE(SaveBinary("folder.uva"));
  EXPECT_FALSE(SaveAscii("no/such/folder.uva"));
  EXPECT_FALSE(SaveBinary("no/such/folder.uvb"));
}
