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
#include <random>
#include <tuple>

#include "c4d_hyperfile.h"
#include "temp_folder.h"
#include "uv_scene.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

// The header field of an ASCII list: 80 bytes, then the line feed.
Bytes Header(const Bytes& text) {
  Bytes h = text;
  h.resize(80, '\0');
  return h + "\n";
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

struct UVListTest : UVScene {
  TempFolder tmp;
  String Path(const String& name) const { return tmp.Path(name); }
  Bytes Read(const String& name) const { return tmp.Read(name); }
  void Write(const String& name, const Bytes& bytes) const { tmp.Write(name, bytes); }
  // The tools, with the file selector answered by a file of the test folder.
  Bool Save(const String& name) {
    host.QueueFile(Path(name));
    return name.ends_with(".uvb") ? SaveUVlistBinary() : SaveUVlistAscii();
  }
  Bool Load(const String& name) {
    host.QueueFile(Path(name));
    return LoadUVlist();
  }
  // What a user can see change: UVs, undo steps, update messages, redraws.
  using Snapshot = std::tuple<std::vector<UVWStruct>, Int32, UInt32, Int32>;
  Snapshot Seen() const {
    return {All(), doc->GetUndoCount(), op->GetDirty(DIRTYFLAGS_DATA), host.EventCount()};
  }
  void ExpectUnchanged(const Snapshot& before, const char* what) const {
    const auto now = Seen();
    EXPECT_TRUE(SameBits(std::get<0>(now), std::get<0>(before))) << what;
    EXPECT_EQ(std::get<1>(now), std::get<1>(before)) << what << ": undo steps";
    EXPECT_EQ(std::get<2>(now), std::get<2>(before)) << what << ": update messages";
    EXPECT_EQ(std::get<3>(now), std::get<3>(before)) << what << ": redraws";
  }
};

}  // namespace

// A triangle gives three lines and a quad four, numbers as the shortest exact texts; the header
// field holds at most 77 bytes of text. The binary list holds -1, four vectors a polygon (a
// triangle repeats c) and -2, in that order. Saving changes nothing.
TEST_F(UVListTest, FilesByteForByte) {
  Scene({Tri(V(0.5, 0.25), V(1, 0), V(0, 0.125, 1)),
         UVWStruct(V(0.25, 0.5), V(0.75, 0.5), V(0.75, 1), V(0.1, 1, -0.5))},
        Muvpolygons);
  op->SetName("obj");
  doc->SetDocumentPath(tmp.Dir().string());
  const auto before = Seen();
  EXPECT_TRUE(Save("out.uva"));
  EXPECT_EQ(Read("out.uva"), Header("UV_obj") +
                                 "0 0.5 0.25 0\n0 1 0 0\n0 0 0.125 1\n"
                                 "1 0.25 0.5 0\n1 0.75 0.5 0\n1 0.75 1 0\n1 0.1 1 -0.5\n");
  const hostrt::FileSelectRecord& r = host.FileSelects().back();
  EXPECT_EQ(r.title, "Save UVlist");
  EXPECT_EQ(r.flags, FILESELECT_SAVE);
  EXPECT_EQ(r.offered, Path("obj_UV.uva"));

  EXPECT_TRUE(Save("out.uvb"));
  EXPECT_EQ(host.FileSelects().back().offered, Path("obj_UV.uvb"));
  ExpectUnchanged(before, "saves");
  HyperFile* hf = HyperFile::Alloc();
  ASSERT_TRUE(hf->Open(kUVlistIdent, Filename(Path("out.uvb")), FILEOPEN_READ, FILEDIALOG_NONE));
  BaseContainer bc;
  ASSERT_TRUE(hf->ReadContainer(&bc, true));
  HyperFile::Free(hf);
  const Int32 order[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, -2};
  ASSERT_EQ(bc.GetCount(), 10);
  for (Int32 i = 0; i < 10; ++i) EXPECT_EQ(bc.GetIndexId(i), order[i]) << i;
  EXPECT_EQ(bc.GetString(-1), "UV_obj");
  EXPECT_EQ(bc.GetVector(3), V(0, 0.125, 1)) << "a triangle's 4i + 3 is its c";
  EXPECT_EQ(bc.GetVector(7), V(0.1, 1, -0.5));
  EXPECT_EQ(bc.GetIndexData(9)->GetType(), DA_LONG);
  EXPECT_EQ(bc.GetInt32(-2), 8);

  // A long name is cut after 77 bytes of text; a line feed in it would end the header line
  // early and leave a list that does not load.
  const Bytes name74(74, 'n');
  for (const auto& [name, text] :
       {std::pair<Bytes, Bytes>{name74 + "TAIL", "UV_" + name74}, {"a\nb", "UV_a_b"}}) {
    op->SetName(name);
    ASSERT_TRUE(Save("h.uva"));
    EXPECT_EQ(Read("h.uva").substr(0, 81), Header(text));
    EXPECT_TRUE(Load("h.uva")) << name;
  }
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
    const std::vector<UVWStruct> saved = All();
    ASSERT_TRUE(Save(file));
    // Scrambled; the triangles get a d of their own, which the load must keep.
    const std::vector<UVWStruct> scrambled(40, Quad(0.5, 0.5, 0.1));
    for (Int32 i = 0; i < 40; ++i) tag->SetSlow(i, scrambled[0]);
    const auto [uvs0, undo, dirty, events] = Seen();
    ASSERT_TRUE(Load(file));
    std::vector<UVWStruct> want = saved;
    for (size_t i = 0; i < want.size(); i += 3) want[i].d = scrambled[0].d;
    EXPECT_TRUE(SameBits(All(), want));
    EXPECT_EQ(doc->GetUndoCount(), undo + 1);
    EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty + 1);
    const hostrt::FileSelectRecord& r = host.FileSelects().back();
    EXPECT_EQ(r.title, "Load UVlist");
    EXPECT_EQ(r.flags, FILESELECT_LOAD);
    EXPECT_TRUE(String(r.offered).ends_with("_UV.uva"));
    ASSERT_TRUE(doc->DoUndo());
    EXPECT_TRUE(SameBits(All(), scrambled)) << "undo gives the UVs before the load back";
  }
}

// With some polygons selected only they take UVs; the others' lines and entries are passed
// over. A binary list of fewer polygons changes only its first ones.
TEST_F(UVListTest, SelectionAndShortBinaryLists) {
  const std::vector<UVWStruct> from = {Quad(0, 0, 0.1), Quad(0.2, 0, 0.1), Quad(0.4, 0, 0.1)};
  const std::vector<UVWStruct> onto = {Quad(0.5, 0.5, 0.2), Quad(0.6, 0.5, 0.2),
                                       Quad(0.7, 0.5, 0.2)};
  Scene(from, Muvpolygons);
  ASSERT_TRUE(Save("s.uva") && Save("s.uvb"));
  for (const char* file : {"s.uva", "s.uvb"}) {
    Scene(onto, Muvpolygons);
    op->GetPolygonS()->Select(1);
    ASSERT_TRUE(Load(file));
    EXPECT_TRUE(SameBits(All(), {onto[0], from[1], onto[2]})) << file;
  }
  Scene({from[0], from[1]}, Muvpolygons);
  ASSERT_TRUE(Save("two.uvb"));
  Scene(onto, Muvpolygons);
  ASSERT_TRUE(Load("two.uvb"));
  EXPECT_TRUE(SameBits(All(), {from[0], from[1], onto[2]}));
}

// Groups follow the target's corner counts and go to their last line's polygon.
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

  // Saved from (quad, triangle), loaded onto (triangle, quad): lines 0:1 0:2 0:3 go to
  // triangle 0, lines 0:4 1:5 1:6 1:7 to quad 1.
  Scene({UVWStruct(V(1, 0), V(2, 0), V(3, 0), V(4, 0)), Tri(V(5, 0), V(6, 0), V(7, 0))},
        Muvpolygons);
  ASSERT_TRUE(Save("qt.uva"));
  Scene({tri, quad}, Muvpolygons);
  ASSERT_TRUE(Load("qt.uva"));
  EXPECT_TRUE(SameBits(
      All(), {Tri(V(1, 0), V(2, 0), V(3, 0)), UVWStruct(V(4, 0), V(5, 0), V(6, 0), V(7, 0))}));
}

// A line that cannot be used skips its group and the other groups load; a CR at a line's end
// counts as a blank, so CR LF lists load exactly.
TEST_F(UVListTest, AsciiLinesThatCannotBeUsedSkipTheirGroup) {
  const Bytes q0 = "0 0.1 0.1 0\n0 0.2 0.1 0\n0 0.2 0.2 0\n";
  const Bytes q1 = "1 0.9 0 0\n1 0.8 0 0\n1 0.7 0 0\n1 0.6 0 0\n";
  const char* lastLinesOfGroup0[] = {"2 0.1 0.2 0",  "-1 0.1 0.2 0",  "0.0 0.1 0.2 0",
                                     "0 0.1 0.2",    "0 0.1",         "0 0.1 abc 0",
                                     "0 0.1  0.2 0", "0 0.1 0.2 0 9", "0 nan 0.2 0",
                                     "0 0.1 -inf 0", "0 0.1 1e999 0"};
  const UVWStruct keep0 = Quad(0.5, 0.5, 0.2);
  for (const char* line : lastLinesOfGroup0) {
    Write("bad.uva", Header("UV_x") + q0 + line + "\n" + q1);
    Scene({keep0, Quad(0.1, 0.7, 0.1)}, Muvpolygons);
    EXPECT_TRUE(Load("bad.uva")) << line;
    EXPECT_TRUE(SameBits(All(), {keep0, UVWStruct(V(0.9, 0), V(0.8, 0), V(0.7, 0), V(0.6, 0))}))
        << line;
  }

  Scene({Quad(0.125, 0.25, 0.5), Tri(V(0.3, 0.1), V(0.2, 0.1), V(1.0 / 3.0, 0.2))}, Muvpoints);
  std::vector<UVWStruct> want = All();
  ASSERT_TRUE(Save("lf.uva"));
  Bytes crlf;
  for (char ch : Read("lf.uva")) crlf += ch == '\n' ? Bytes("\r\n") : Bytes(1, ch);
  Write("crlf.uva", crlf);
  for (Int32 i = 0; i < 2; ++i) tag->SetSlow(i, Quad(0, 0, 1));
  ASSERT_TRUE(Load("crlf.uva"));
  want[1].d = Quad(0, 0, 1).d;
  EXPECT_TRUE(SameBits(All(), want));
}

// A list that is no list or stops early, a binary list that is damaged or not named "UV_...":
// the object stays as it was, with no undo step and no update message.
TEST_F(UVListTest, ListsThatFailChangeNothing) {
  Scene({Quad(0, 0, 0.1), Quad(0.2, 0, 0.1)}, Muvpolygons);
  ASSERT_TRUE(Save("ok.uva") && Save("ok.uvb"));
  const Bytes ascii = Read("ok.uva"), binary = Read("ok.uvb");
  Bytes flipped = binary;
  flipped[binary.size() / 2] ^= 0x01;
  // A whole container file whose name does not begin with "UV_".
  BaseContainer bc;
  bc.SetString(-1, "uv_x");
  HyperFile* hf = HyperFile::Alloc();
  ASSERT_TRUE(
      hf->Open(kUVlistIdent, Filename(Path("renamed.uvb")), FILEOPEN_WRITE, FILEDIALOG_NONE));
  ASSERT_TRUE(hf->WriteContainer(bc) && hf->Close());
  HyperFile::Free(hf);

  const std::pair<const char*, Bytes> cases[] = {
      {"a.uva", "XV" + ascii.substr(2)},                         // no "UV_"
      {"b.uva", ascii + "\n"},                                   // an empty line at the end
      {"c.uva", ascii.substr(0, 81) + "\n" + ascii.substr(81)},  // ... in the middle
      {"d.uva", "UV_obj 0 0 0 0"},                               // no line feed at all
      {"e.uva", ""},
      {"f.uvb", binary.substr(0, binary.size() - 20)},  // cut short
      {"g.uvb", flipped},
      {"h.uvb", ascii},  // no container file
  };
  for (Int32 i = 0; i < 2; ++i) tag->SetSlow(i, Quad(0.5, 0.5, 0.3));
  for (const auto& [file, bytes] : cases) Write(file, bytes);
  for (const char* file : {"a.uva", "b.uva", "c.uva", "d.uva", "e.uva", "f.uvb", "g.uvb", "h.uvb",
                           "renamed.uvb", "missing.uva", "missing.uvb"}) {
    const auto before = Seen();
    EXPECT_FALSE(Load(file)) << file;
    ExpectUnchanged(before, file);
  }
}

// In a binary list, a polygon whose corners are not finite keeps its UVs and the others load;
// a list without a count loads nothing.
TEST_F(UVListTest, BinaryListsWithoutCountOrWithNonFiniteCorners) {
  BaseContainer bc;
  bc.SetString(-1, "UV_x");
  for (Int32 i = 0; i < 8; ++i) bc.SetVector(i, V(0.125 * i, 0.5, 0));
  bc.SetVector(1, V(std::nan(""), 0, 0));  // polygon 0
  for (const char* file : {"nan.uvb", "nocount.uvb"}) {
    if (String(file) == "nan.uvb")
      bc.SetInt32(-2, 8);
    else
      bc.RemoveData(-2);
    HyperFile* hf = HyperFile::Alloc();
    ASSERT_TRUE(hf->Open(kUVlistIdent, Filename(Path(file)), FILEOPEN_WRITE, FILEDIALOG_NONE));
    ASSERT_TRUE(hf->WriteContainer(bc) && hf->Close());
    HyperFile::Free(hf);
  }
  const std::vector<UVWStruct> keep = {Quad(0.5, 0.5, 0.2), Quad(0.6, 0.5, 0.2)};
  Scene(keep, Muvpolygons);
  ASSERT_TRUE(Load("nan.uvb"));
  EXPECT_TRUE(SameBits(
      All(), {keep[0], UVWStruct(V(0.5, 0.5), V(0.625, 0.5), V(0.75, 0.5), V(0.875, 0.5))}));
  Scene(keep, Muvpolygons);
  const Int32 undo = doc->GetUndoCount();
  EXPECT_TRUE(Load("nocount.uvb"));
  EXPECT_TRUE(SameBits(All(), keep));
  EXPECT_EQ(doc->GetUndoCount(), undo) << "nothing loaded, no undo step";
}

// Preconditions refuse without a file selector; a cancelled selector and a suffix that is no
// list load nothing but tell the object all the same; saves that cannot write say so.
TEST_F(UVListTest, PreconditionsCancelAndOtherSuffixes) {
  Scene({Quad(0, 0, 1)}, Muvpolygons);
  op->KillTag(Tuvw);
  EXPECT_FALSE(SaveUVlistAscii() || SaveUVlistBinary() || LoadUVlist());
  Scene({}, Muvpolygons);
  EXPECT_FALSE(LoadUVlist()) << "no polygons";
  EXPECT_FALSE(SaveUVlistAscii()) << "a tag without UVs";
  EXPECT_TRUE(host.FileSelects().empty());

  Scene({Quad(0, 0, 1)}, Muvpolygons);
  host.QueueFile("");
  EXPECT_TRUE(SaveUVlistAscii()) << "cancelled";
  EXPECT_EQ(tmp.Files(), 0u);
  Write("u.txt", Header("UV_x") + "0 9 9 9\n0 9 9 9\n0 9 9 9\n0 9 9 9\n");
  for (const String& answer : {Path("u.txt"), String()}) {
    const auto [uvs, undo, dirty, events] = Seen();
    host.QueueFile(answer);
    EXPECT_TRUE(LoadUVlist()) << answer;
    EXPECT_TRUE(SameBits(All(), uvs)) << answer;
    EXPECT_EQ(doc->GetUndoCount(), undo) << answer;
    EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty + 1) << answer;
  }

  fs::create_directories(tmp.Dir() / "folder.uva");
  for (const char* file : {"folder.uva", "no/such/folder.uva", "no/such/folder.uvb"})
    EXPECT_FALSE(Save(file)) << file;
  host.QueueFile(Path("folder.uva"));
  EXPECT_FALSE(SaveUVlistBinary());
}
