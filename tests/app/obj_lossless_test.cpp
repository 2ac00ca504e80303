// The statement-for-statement save finds what the host changed by walking the kept text; a
// large text is walked on two threads. Every cut of the text must give what one walk gives:
// the same rewritten file, counts and refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "c4d_basedocument.h"
#include "c4d_basetag.h"
#include "obj_grid.h"
#include "obj_io.h"
#include "obj_source.h"

namespace fs = std::filesystem;
using namespace pelterra;

namespace {

struct Loaded {
  BaseDocument* doc = BaseDocument::Alloc();
  std::shared_ptr<const obj::Source> src;
  std::vector<PolygonObject*> objects;
  ~Loaded() { BaseDocument::Free(doc); }
};

// Loads text as a file of its own, keeping its text for the save.
void Load(const std::string& text, Loaded& out) {
  const fs::path path = fs::temp_directory_path() /
                        ("pelterra_lossless_" + std::to_string(getpid()) + "_" +
                         testing::UnitTest::GetInstance()->current_test_info()->name() + ".obj");
  std::ofstream(path, std::ios::binary) << text;
  std::string error;
  const bool ok = LoadObj(path.string(), *out.doc, error);
  fs::remove(path);
  ASSERT_TRUE(ok) << error;
  const GeData* d = out.doc->GetDataInstance()->GetDataPointer(OBJ_SOURCE);
  ASSERT_NE(d, nullptr);
  out.src =
      static_cast<const obj::SourceData*>(d->GetCustomDataType(obj::SourceData::kType))->source;
  for (BaseObject* op = out.doc->GetFirstObject(); op; op = op->GetNext())
    out.objects.push_back(static_cast<PolygonObject*>(op));
}

struct Result {
  bool ok = false;
  std::string why, text;
  obj::Tail tail;
  bool twoThreads = false;
};

Result Save(const obj::Source& src, const std::vector<PolygonObject*>& objects, size_t splitAt) {
  Result r;
  obj::SourceWriter w;
  r.ok = w.Prepare(src, objects, r.tail, r.why, splitAt, &r.twoThreads);
  if (r.ok) {
    obj::Output out;
    w.Write(out);
    r.text = out.Buffer();
  }
  return r;
}

void ExpectSame(const Result& one, const Result& two) {
  EXPECT_EQ(two.ok, one.ok);
  EXPECT_EQ(two.why, one.why);
  EXPECT_EQ(two.text, one.text);
  EXPECT_EQ(two.tail.points, one.tail.points);
  EXPECT_EQ(two.tail.uvs, one.tail.uvs);
  EXPECT_EQ(two.tail.normals, one.tail.normals);
  EXPECT_EQ(two.tail.eol, one.tail.eol);
}

// Prepares and writes src on one thread, then with the text cut at every byte: each cut gives
// the same. Returns how many cuts were walked on two threads (a refusal never is: it is always
// the single walk's).
size_t ExpectEveryCutAlike(const obj::Source& src, const std::vector<PolygonObject*>& objects) {
  const Result one = Save(src, objects, std::string::npos);
  EXPECT_FALSE(one.twoThreads);
  size_t two = 0;
  for (size_t cut = 1; cut <= src.text.size() + 1; ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const Result r = Save(src, objects, cut);
    ExpectSame(one, r);
    EXPECT_TRUE(one.ok || !r.twoThreads);
    two += r.twoThreads;
    if (testing::Test::HasFailure()) break;
  }
  return two;
}

// Moves the first object up by 1 as a whole (its matrix), checks that every cut of its save
// gives one walk's (lineStarts of them on two threads) and returns that save.
std::string SaveMovedUp(const Loaded& f, size_t lineStarts) {
  Matrix m;
  m.off = Vector(0, 0, 1);
  f.objects[0]->SetMg(m);
  EXPECT_EQ(ExpectEveryCutAlike(*f.src, f.objects), lineStarts);
  return Save(*f.src, f.objects, std::string::npos).text;
}

UVWTag* UVTag(PolygonObject* op) {
  return static_cast<UVWTag*>(op->GetTag(Tuvw));
}

// Sets every host UV corner of polygons [from, to) that holds `was` to `now`.
void ReplaceUV(PolygonObject* op, Int32 from, Int32 to, const Vector& was, const Vector& now) {
  UVWTag* tag = UVTag(op);
  for (Int32 p = from; p < to && p < tag->GetDataCount(); ++p) {
    UVWStruct s = tag->GetSlow(p);
    for (Int32 k = 0; k < 4; ++k)
      if (s[k] == was) s[k] = now;
    tag->SetSlow(p, s);
  }
}

// Every kind of statement, line end and index form, with texture coordinates used by faces
// early and late in the file, v and vt lines between faces and relative indices after them.
const std::string kMixed =
    "\xEF\xBB\xBF# mixed\nmtllib none.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\n"
    "vt 1 1\nvt 0 1\nvn 0 0 1\ng a\nusemtl red\nf 1/1/1 2/2/1 3/3/1 4/4/1\nf 1/1 3/3 4/4\ns 1\n"
    "l 1 2\nv 2 0 0\nvt 0.5 0.5 0.25\nf 2/2 5/5 3/3\r\nf -4/-5 -3/-4 -2/-3 -1/-2\np 3\n"
    "v 2 1 0\rvt 0.25 0.75\rf 5/5/1 6/6/1 3/3/1\nf -1/-1 -2/-2 -4/-4 -5/-3 1/1\n# end\n"
    "f 1//1 2//1 6//1\ng\nf 4/4 3/3 6/-1";

// The host UVs of the vt lines of kMixed (v flipped).
const Vector kVt1(0, 1, 0), kVt2(1, 1, 0), kVt3(1, 0, 0), kVt4(0, 0, 0), kVt5(0.5, 0.5, 0.25);

TEST(ObjLosslessTwoThreads, EditedPointsAndUVsAtEveryCut) {
  Loaded f;
  ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
  PolygonObject* op = f.objects[0];
  ASSERT_EQ(op->GetPolygonCount(), 10);
  // Unedited: every cut before the last line start is walked on two threads.
  const size_t lineStarts = kMixed.rfind('\n') + 1;
  EXPECT_EQ(ExpectEveryCutAlike(*f.src, f.objects), lineStarts);
  EXPECT_EQ(Save(*f.src, f.objects, 200).text, kMixed);

  // Moved points: one used early and late, one only late.
  op->GetPointW()[2] = Vector(7, 8, 9);
  op->GetPointW()[5] = Vector(-1, 0.5, 3);
  // vt 1 changed in the first face only: kept elsewhere, a new line.
  ReplaceUV(op, 0, 1, kVt1, Vector(0.125, 0.25, 0));
  // vt 3 changed alike by every face: rewritten in place.
  ReplaceUV(op, 0, 10, kVt3, Vector(0.5, 0.25, 0));
  // vt 2 kept by the early faces, changed by the later ones.
  ReplaceUV(op, 2, 10, kVt2, Vector(0.875, 0.125, 0));
  // vt 5 changed to one value by its first face and to another by the later ones: both get a
  // new line.
  ReplaceUV(op, 2, 3, kVt5, Vector(0.625, 0.625, 0.25));
  ReplaceUV(op, 3, 10, kVt5, Vector(0.75, 0.625, 0.25));
  // vt 4 changed alike by every face but the last, which keeps it: a new line.
  ReplaceUV(op, 0, 8, kVt4, Vector(0.25, 0.5, 0));
  // A corner without vt gets one.
  ReplaceUV(op, 8, 9, kVt4, Vector(0.375, 0.375, 0));
  EXPECT_EQ(ExpectEveryCutAlike(*f.src, f.objects), lineStarts);
  const Result r = Save(*f.src, f.objects, std::string::npos);
  ASSERT_TRUE(r.ok) << r.why;
  EXPECT_NE(r.text.find("\nvt 0.5 0.75\n"), std::string::npos) << "rewritten in place";
  EXPECT_NE(r.text.find("\nv 7 8 -9\n"), std::string::npos);
  EXPECT_NE(r.text.find("\nvt 0.625 0.375 0.25\n"), std::string::npos);
  EXPECT_NE(r.text.find("\rvt 0.75 0.375 0.25\r"), std::string::npos);
  EXPECT_NE(r.text.find("\nvt 0.875 0.875\n"), std::string::npos);
  EXPECT_NE(r.text.find("\nvt 0.5 0.5 0.25\n"), std::string::npos) << "kept as it was";

  // An object moved as a whole moves every point, the ones its points kept included.
  const std::string moved = SaveMovedUp(f, lineStarts);
  EXPECT_NE(moved.find("\nv 0 0 -1\n"), std::string::npos);
  EXPECT_NE(moved.find("\nv 7 8 -10\n"), std::string::npos);
}

// Only the UVs changed: the points are not compared, and every point keeps its line. The vt
// line with a w that its first face keeps stays as it is at every cut, also where the first
// half has no vt line.
TEST(ObjLosslessTwoThreads, UVsAloneKeepEveryPointLine) {
  Loaded f;
  ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
  PolygonObject* op = f.objects[0];
  ReplaceUV(op, 0, 10, kVt3, Vector(0.5, 0.25, 0));
  ReplaceUV(op, 3, 10, kVt5, Vector(0.75, 0.625, 0.25));
  // A point moved and put back is where the file has it.
  const Vector was = op->GetPointR()[3];
  op->GetPointW()[3] = Vector(1, 2, 3);
  op->GetPointW()[3] = was;
  const size_t lineStarts = kMixed.rfind('\n') + 1;
  EXPECT_EQ(ExpectEveryCutAlike(*f.src, f.objects), lineStarts);
  const Result r = Save(*f.src, f.objects, std::string::npos);
  ASSERT_TRUE(r.ok) << r.why;
  // vt 3 rewritten in place; vt 5, which its first face keeps, gets a new line for the faces
  // that left it, after the last vt line before the first of them.
  std::string expected = kMixed;
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"vt 1 1\n", "vt 0.5 0.75\n"},
           {"vt 0.25 0.75\r", "vt 0.25 0.75\rvt 0.75 0.375 0.25\r"},
           {"f 5/5/1 6/6/1", "f 5/7/1 6/6/1"},
           {"f -1/-1 -2/-2 -4/-4 -5/-3", "f -1/-2 -2/-1 -4/-5 -5/-4"},
           {"6/-1", "6/-2"}})
    expected.replace(expected.find(from), from.size(), to);
  EXPECT_EQ(r.text, expected);

  // Moved as a whole, its points unchanged: every v line moves.
  const std::string moved = SaveMovedUp(f, lineStarts);
  EXPECT_NE(moved.find("\nv 0 0 -1\nv 1 0 -1\n"), std::string::npos);
  EXPECT_NE(moved.find("\nv 2 1 -1\r"), std::string::npos);
}

TEST(ObjLosslessTwoThreads, ObjectsOnBothSidesOfTheCut) {
  const std::string text =
      "o first\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nf 1/1 2/2 3/3\n"
      "f 1/1 3/3 4/2\nf 2/2 3/3 4/1\no empty\nv 5 5 5\no second\nvt 0.5 0\nf -4/1 -3/-1 -1/2\n"
      "f 1/4 2/3 4/1 3/2\nf 4/1 3/3 2/2\n";
  Loaded f;
  ASSERT_NO_FATAL_FAILURE(Load(text, f));
  ASSERT_EQ(f.objects.size(), 2u);
  f.objects[1]->GetPointW()[0] = Vector(0, 0, 4);
  ReplaceUV(f.objects[0], 1, 3, kVt2, Vector(0.2, 0.2, 0));
  ReplaceUV(f.objects[1], 1, 3, kVt2, Vector(0.2, 0.2, 0));
  ReplaceUV(f.objects[1], 0, 1, Vector(0.5, 1, 0), Vector(0.75, 1, 0));
  // Cuts after "o second" continue its block on the second thread; earlier ones walk once. The
  // second object's vt lines are given.
  auto expectSaved = [&](const std::string& secondUVs) {
    EXPECT_EQ(ExpectEveryCutAlike(*f.src, f.objects), text.size() - text.find("o second"));
    EXPECT_EQ(Save(*f.src, f.objects, std::string::npos).text,
              "o first\nv 0 0 -4\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0.2 0.8\n"
              "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\nf 2/4 3/3 4/1\no empty\nv 5 5 5\no second\n" +
                  secondUVs + "f -4/1 -3/-1 -1/2\nf 1/5 2/3 4/1 3/4\nf 4/1 3/3 2/4\n");
  };
  // The first polygon leaves its vt line, which the second still uses: a new line.
  expectSaved("vt 0.5 0\nvt 0.75 0\n");
  // Every corner of the second object's own vt line leaves it alike: rewritten in place from
  // the second object's UVs.
  ReplaceUV(f.objects[1], 1, 3, Vector(0.5, 1, 0), Vector(0.75, 1, 0));
  expectSaved("vt 0.75 0\n");
}

// Each refusal is the one a single walk names first, wherever the text is cut.
TEST(ObjLosslessTwoThreads, RefusalsAtEveryCut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  {
    SCOPED_TRACE("a point that is not finite, used early and late");
    Loaded f;
    ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
    f.objects[0]->GetPointW()[4] = Vector(nan, 0, 0);
    ExpectEveryCutAlike(*f.src, f.objects);
    EXPECT_EQ(Save(*f.src, f.objects, 1).why, "a point is not a finite number");
  }
  {
    SCOPED_TRACE("a UV that is not finite, a point that is not finite later");
    Loaded f;
    ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
    ReplaceUV(f.objects[0], 2, 3, kVt3, Vector(0, nan, 0));
    f.objects[0]->GetPointW()[5] = Vector(nan, 0, 0);
    ExpectEveryCutAlike(*f.src, f.objects);
    EXPECT_EQ(Save(*f.src, f.objects, 1).why, "a UV is not a finite number");
  }
  {
    SCOPED_TRACE("more faces than polygons");
    Loaded f;
    ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
    f.objects[0]->ResizeObject(f.objects[0]->GetPointCount(), 6);
    ExpectEveryCutAlike(*f.src, f.objects);
    EXPECT_EQ(Save(*f.src, f.objects, 1).why,
              "the file has more faces than \"" + f.objects[0]->GetName() + "\" has polygons");
  }
  // Texts that no longer read as they did: an index beyond the lines before it (absolute and
  // relative, in faces and points), a malformed line, and both, first one way round, then the
  // other.
  Loaded f;
  ASSERT_NO_FATAL_FAILURE(Load(kMixed, f));
  const std::string late = "f 1//1 2//1 6//1";
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"p 3", "p 9"},
           {late, "f 1//1 2//1 7//1"},
           {late, "f 1//1 2//1 6//2"},
           {late, "f 1/7 2/1 6/1"},
           {"f -4/-5 -3/-4", "f -9/-5 -3/-4"},
           {"f -4/-5 -3/-4", "f -4/-7 -3/-4"},
           {late, "f 1//1 2//1 x//1"},
           {"p 3", "p 9\nf 1 2 x"},
           {"p 3", "f 1 2 x\np 9"},
           {"l 1 2", "l 1 2\no added"},
       }) {
    SCOPED_TRACE(to);
    obj::Source changed = *f.src;
    changed.text.replace(changed.text.find(from), from.size(), to);
    const Result one = Save(changed, f.objects, std::string::npos);
    EXPECT_EQ(one.ok, to == "l 1 2\no added") << one.why;
    ExpectEveryCutAlike(changed, f.objects);
  }
}

// A text from the size on which it is walked on two threads, with edits around where the text
// and the second half's faces are cut.
TEST(ObjLosslessTwoThreads, LargeTextsOnTwoThreadsAsOnOne) {
  const std::string text = GridObjText(260);
  ASSERT_GT(text.size(), size_t{2} << 20);
  Loaded f;
  ASSERT_NO_FATAL_FAILURE(Load(text, f));
  PolygonObject* op = f.objects[0];
  const Int32 n = op->GetPolygonCount();
  UVWTag* tag = UVTag(op);
  auto expectCutsAlike = [&] {
    const Result one = Save(*f.src, f.objects, std::string::npos);
    ASSERT_TRUE(one.ok) << one.why;
    ASSERT_NE(one.text, text);
    const Result two = Save(*f.src, f.objects, 0);
    EXPECT_EQ(two.twoThreads, std::thread::hardware_concurrency() >= 2);
    ExpectSame(one, two);
    for (const double at : {0.0, 0.2, 0.4, 0.6, 0.9}) {
      SCOPED_TRACE(at);
      const Result r = Save(*f.src, f.objects, static_cast<size_t>(at * text.size()) + 1);
      EXPECT_TRUE(r.twoThreads);
      ExpectSame(one, r);
    }
  };
  // Bands of faces through the file: in each, every other face moves its UVs, every third one
  // moves them elsewhere; then a point moves in each.
  const std::vector<double> bands = {0.1, 0.3, 0.45, 0.5, 0.55, 0.7, 0.75, 0.8, 0.95};
  for (const double at : bands) {
    const Int32 mid = static_cast<Int32>(at * n);
    for (Int32 p = mid - 400; p < mid + 400; ++p) {
      if (p % 2 == 0) continue;
      UVWStruct s = tag->GetSlow(p);
      for (Int32 k = 0; k < 4; ++k) s[k] += p % 3 == 0 ? Vector(0.5, 0, 0) : Vector(0, 0.25, 0);
      tag->SetSlow(p, s);
    }
  }
  {
    SCOPED_TRACE("UVs alone");
    expectCutsAlike();
  }
  for (const double at : bands)
    op->GetPointW()[op->GetPolygonR()[static_cast<Int32>(at * n)].a] += Vector(0, 0, 1);
  {
    SCOPED_TRACE("UVs and points");
    expectCutsAlike();
  }
}

}  // namespace
