// The walker's quick read of plain v, vt, vn and f lines against its general reading, on random
// texts that mix plain lines with near misses of every kind.
#include "obj_parse.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pelterra::obj {
namespace {

std::string RandomText(std::mt19937& rng, int lines) {
  static const char* const kNumbers[] = {
      "0",  "1",     "-2.5",   "0.125", "1e3",   "-1e-5",  ".5",   "5.",  "+1",  "-0",
      "1e", "1.5.3", "nan",    "inf",   "1e400", "1e-400", "0x10", "abc", "1,5", "--1",
      "3",  "7.25",  "-0.001", "42",    "1e308", "9.99",   "2/3",  "-",   "e5",  "1d2"};
  static const char* const kIndices[] = {"1",
                                         "2",
                                         "3",
                                         "-1",
                                         "-2",
                                         "+2",
                                         "0",
                                         "-0",
                                         "4",
                                         "12",
                                         "99",
                                         "x",
                                         "1.5",
                                         "",
                                         "-",
                                         "+",
                                         "1234567890123456789",
                                         "123456789012345678",
                                         "5",
                                         "-3",
                                         "7",
                                         "-9223372036854775808",
                                         "9223372036854775808",
                                         "2"};
  static const char* const kSigns[] = {"", "-", "+"};
  static const char* const kTails[] = {"/", "//", "/1/2/3", "a", ":", "?", "12345678;"};
  static const char* const kBlanks[] = {" ", " ", " ", "  ", "\t", " \t "};
  static const char* const kEnds[] = {"\n", "\n", "\n", "\r\n", "\r", " \n", "\t\n"};
  static const char* const kOther[] = {
      "o obj", "g a b", "usemtl m", "# c",      "",          "   ",   "vp 1 2", "vx 1",
      "v",     "f",     "ff 1 2 3", " v 1 2 3", "\tf 1 2 3", "l 1 2", "p 1",    "o"};
  auto pick = [&](const auto& list) {
    return std::string(list[std::uniform_int_distribution<size_t>(0, std::size(list) - 1)(rng)]);
  };
  auto count = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  // Mostly well formed, so that faces find the lines they name; now and then a near miss.
  auto odd = [&] { return count(0, 39) == 0; };
  // Decimals of 1 to 20 digits with a point anywhere and now and then an exponent: the quick
  // read takes those it can round exactly and leaves the rest to the library.
  auto decimal = [&] {
    std::string d = count(0, 3) == 0 ? "-" : "";
    const int digits = count(1, 20), point = count(0, digits);
    for (int i = 0; i < digits; ++i) {
      if (i == point && i > 0) d += '.';
      d += static_cast<char>('0' + count(0, 9));
    }
    if (count(0, 3) == 0)
      d += std::string(count(0, 1) ? "e" : "E") + pick(kSigns) + std::to_string(count(0, 40));
    return d;
  };
  std::string text;
  for (int l = 0; l < lines; ++l) {
    const int what = count(0, 9);
    std::string line;
    if (what <= 2) {
      line = what == 0 ? "v" : what == 1 ? "vt" : "vn";
      const int n = odd() ? count(0, 8) : what == 0 ? count(3, 4) : what == 1 ? count(2, 3) : 3;
      for (int i = 0; i < n; ++i) line += pick(kBlanks) + (odd() ? pick(kNumbers) : decimal());
    } else if (what <= 7) {
      line = "f";
      const int n = odd() ? count(0, 6) : count(3, 5);
      for (int i = 0; i < n; ++i) {
        // Now and then a long run of digits, leading zeros and all: up to 20, so that the
        // quick read's eight-byte steps meet every length and both ends of its limit.
        auto idx = [&] {
          if (count(0, 19) == 0) {
            std::string run;
            for (int d = count(1, 20); d > 0; --d) run += static_cast<char>('0' + count(0, 9));
            return run;
          }
          return odd() ? pick(kIndices) : std::to_string(count(1, 3));
        };
        line += pick(kBlanks) + idx();
        const int form = count(0, 4);
        if (form == 1 || form == 3) line += "/" + idx();
        if (form == 2) line += "//" + idx();
        if (form == 3) line += "/" + idx();
        if (odd()) line += pick(kTails);
      }
    } else {
      line = pick(kOther);
    }
    text += line + (odd() ? pick(kBlanks) : "") + pick(kEnds);
  }
  return text;
}

// Every field a walk fills, as text, statement by statement up to the first error. skip: 1 leaves
// the values unread, 2 the positions.
std::string Walk(std::string_view text, size_t start, size_t end, bool deferred, int skip,
                 bool plain) {
  WalkState state;
  state.v = deferred ? 0 : 3;  // a walk of a later part counts on from lines before it
  state.vt = deferred ? 0 : 2;
  state.vn = deferred ? 0 : 2;
  Walker w(text, start, end, state, deferred);
  if (skip == 1) w.SkipValues();
  if (skip == 2) w.SkipPositions();
  if (plain) w.ReadPlainly();
  Statement s;
  std::string error, out;
  while (w.Next(s, error)) {
    out += std::to_string(s.number) + " " + std::to_string(s.begin) + " " + std::to_string(s.end) +
           " " + std::to_string(s.next) + " k" + std::to_string(static_cast<int>(s.kind)) + " n" +
           std::to_string(s.numbers) + " i" + std::to_string(s.index) + " b" +
           std::to_string(s.block) + (s.implicitBlock ? "+" : "-") + " f" +
           std::to_string(s.firstPolygon) + " [";
    for (std::string_view word : s.words) out += std::string(word) + "|";
    out += "]";
    if (s.kind == Kind::kV || s.kind == Kind::kVt || s.kind == Kind::kVn) {
      char buf[96];
      std::snprintf(buf, sizeof buf, " %a %a %a", s.value.x, s.value.y, s.value.z);
      out += buf;
    }
    for (const Corner& c : s.corners)
      out += " (" + std::string(c.text) + " " + std::to_string(c.v) + " " + std::to_string(c.vt) +
             " " + std::to_string(c.vn) + (c.relative ? " r" : "") + (c.vtRelative ? " t" : "") +
             ")";
    out += "\n";
  }
  out += "line " + std::to_string(w.Line()) + " at " + std::to_string(w.Position()) + " counts " +
         std::to_string(w.Positions()) + " " + std::to_string(w.TexCoords()) + " " +
         std::to_string(w.Normals()) + " error: " + error + "\n";
  return out;
}

TEST(ObjWalker, QuickReadGivesTheGeneralReadingsStatements) {
  std::mt19937 rng(20261207);
  int errors = 0, clean = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string text = RandomText(rng, 1 + round % 40);
    for (bool deferred : {false, true})
      for (int skip : {0, 1, 2}) {
        const std::string quick = Walk(text, 0, text.size(), deferred, skip, false);
        const std::string plain = Walk(text, 0, text.size(), deferred, skip, true);
        ASSERT_EQ(quick, plain) << "text:\n" << text;
        (plain.ends_with("error: \n") ? clean : errors)++;
      }
    // A walk of a middle part, ending inside a line.
    const size_t from = text.size() / 3, to = text.size() - text.size() / 4;
    const size_t start =
        text.find('\n', from) == std::string::npos ? text.size() : text.find('\n', from) + 1;
    ASSERT_EQ(Walk(text, start, to, true, 0, false), Walk(text, start, to, true, 0, true))
        << "text:\n"
        << text;
  }
  // Both outcomes are common, so the near misses reach every check of the general reading.
  EXPECT_GT(errors, 200);
  EXPECT_GT(clean, 200);
}

TEST(ObjWalker, QuickReadKeepsValuesIndicesAndWords) {
  const std::string text =
      "v 1 -2.5 3e2 0.5\nvt .5 5.\nvn 0 0 1\nv 4 5 6\nf 1/1/1 -1//1\t2/-1 \n"
      "f 1 2 2\tf\n";
  Walker w(text, 0);
  Statement s;
  std::string error;
  ASSERT_TRUE(w.Next(s, error));
  EXPECT_EQ(s.kind, Kind::kV);
  EXPECT_EQ(s.numbers, 4);
  EXPECT_EQ(s.value, Vector(1, -2.5, 300));
  ASSERT_EQ(s.words.size(), 5u);
  EXPECT_EQ(s.words[4], "0.5");
  ASSERT_TRUE(w.Next(s, error));
  EXPECT_EQ(s.value, Vector(0.5, 5, 0));
  EXPECT_EQ(s.index, 0);
  ASSERT_TRUE(w.Next(s, error));
  ASSERT_TRUE(w.Next(s, error));
  EXPECT_EQ(s.index, 1);
  ASSERT_TRUE(w.Next(s, error));
  ASSERT_EQ(s.corners.size(), 3u);
  EXPECT_EQ(s.corners[1].text, "-1//1");
  EXPECT_EQ(s.corners[1].v, 1);
  EXPECT_TRUE(s.corners[1].relative);
  EXPECT_EQ(s.corners[1].vt, -1);
  EXPECT_EQ(s.corners[1].vn, 0);
  EXPECT_EQ(s.corners[2].vt, 0);
  EXPECT_TRUE(s.corners[2].vtRelative);
  EXPECT_EQ(s.words.back(), "2/-1");
  // "f" after a tab is a word like any other, and no corner.
  EXPECT_FALSE(w.Next(s, error));
  EXPECT_EQ(error, "face corner 4: position index \"f\" is not a whole number");
  EXPECT_EQ(w.Line(), 6);
}

TEST(ObjWalker, SkippedPositionsLeaveTheTextureCoordinatesRead) {
  for (bool plain : {false, true}) {
    Walker w("v 1 2 3 0.5\nvt .5 5.\nv 4 5 6\n", 0);
    w.SkipPositions();
    if (plain) w.ReadPlainly();
    Statement s;
    std::string error;
    ASSERT_TRUE(w.Next(s, error));
    EXPECT_EQ(s.value, Vector());
    EXPECT_EQ(s.numbers, 4);
    EXPECT_EQ(s.words.back(), "0.5");
    ASSERT_TRUE(w.Next(s, error));
    EXPECT_EQ(s.value, Vector(0.5, 5, 0));
    ASSERT_TRUE(w.Next(s, error));
    EXPECT_EQ(s.index, 1);
    EXPECT_FALSE(w.Next(s, error));
    EXPECT_EQ(w.Positions(), 2);
    EXPECT_EQ(w.TexCoords(), 1);
  }
}

}  // namespace
}  // namespace pelterra::obj
