// The byte level of glTF files: the binary container, value spans in the JSON text, base64 and
// the encoding of texture coordinates.
#include "gltf_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace pelterra::gltf;

namespace {

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int k = 0; k < 4; ++k) s[static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k) & 0xFF);
  return s;
}

// A container with a JSON chunk and a BIN chunk, lengths as given.
std::string Glb(const std::string& json, const std::string& bin) {
  std::string body = Le32(static_cast<std::uint32_t>(json.size())) + Le32(kChunkJson) + json;
  if (!bin.empty()) body += Le32(static_cast<std::uint32_t>(bin.size())) + Le32(kChunkBin) + bin;
  return "glTF" + Le32(2) + Le32(static_cast<std::uint32_t>(12 + body.size())) + body;
}

TEST(GltfContainer, ChunksAreFoundAndWrittenBackAsTheyWere) {
  const std::string file = Glb("{}  ", std::string(8, '\x7'));
  GlbLayout l;
  std::string why;
  ASSERT_TRUE(ParseGlb(file, l, why)) << why;
  ASSERT_EQ(l.chunks.size(), 2u);
  EXPECT_EQ(l.binChunk, 1);
  EXPECT_EQ(file.substr(l.chunks[0].begin, l.chunks[0].length), "{}  ");
  EXPECT_EQ(file.substr(l.chunks[1].begin, l.chunks[1].length), std::string(8, '\x7'));
  EXPECT_EQ(WriteGlb(file, l, "{}  ", std::string(8, '\x7')), file);
  // A longer JSON is padded with blanks and the lengths follow it.
  const std::string grown = WriteGlb(file, l, "{\"a\":1}", std::string(8, '\x7'));
  EXPECT_EQ(grown, Glb("{\"a\":1} ", std::string(8, '\x7')));
}

TEST(GltfContainer, BrokenContainersAreRefused) {
  const std::string good = Glb("{}  ", "12345678");
  GlbLayout l;
  std::string why;
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(ParseGlb(good.substr(0, cut), l, why)) << "cut at " << cut;
  std::string magic = good;
  magic[0] = 'X';
  EXPECT_FALSE(ParseGlb(magic, l, why));
  EXPECT_NE(why.find("magic"), std::string::npos) << why;
  std::string version = good;
  version[4] = 1;
  EXPECT_FALSE(ParseGlb(version, l, why));
  // A chunk whose length reaches past the file, and a first chunk that is not JSON.
  std::string longChunk = good;
  longChunk.replace(12, 4, Le32(1000));
  EXPECT_FALSE(ParseGlb(longChunk, l, why));
  std::string huge = good;
  huge.replace(12, 4, Le32(0xFFFFFFF8u));
  EXPECT_FALSE(ParseGlb(huge, l, why));
  std::string binFirst = good;
  binFirst.replace(16, 4, Le32(kChunkBin));
  EXPECT_FALSE(ParseGlb(binFirst, l, why));
}

TEST(GltfJson, SpansOfMinMaxAndUrisAreFound) {
  const std::string json =
      R"({"buffers":[{"byteLength":4,"uri":"data:application/octet-stream;base64,AAAAAA=="},)"
      R"({"uri":"a b.bin"}], "accessors" : [ {"min":[0,1],"max": [2, 3],"x":{"min":9}},)"
      R"({"count":1}, {"max":[5]} ], "extensions":{"accessors":[{"min":[7]}]}})";
  JsonSpans s;
  ASSERT_TRUE(FindJsonSpans(json, s));
  ASSERT_EQ(s.accessorMin.size(), 3u);
  ASSERT_EQ(s.accessorMax.size(), 3u);
  auto text = [&](const Span& sp) { return json.substr(sp.begin, sp.end - sp.begin); };
  EXPECT_EQ(text(s.accessorMin[0]), "[0,1]");
  EXPECT_EQ(text(s.accessorMax[0]), "[2, 3]");
  EXPECT_FALSE(s.accessorMin[1].Found());
  EXPECT_FALSE(s.accessorMin[2].Found());
  EXPECT_EQ(text(s.accessorMax[2]), "[5]");
  ASSERT_EQ(s.bufferUri.size(), 2u);
  EXPECT_EQ(text(s.bufferUri[0]), "data:application/octet-stream;base64,AAAAAA==");
  EXPECT_EQ(text(s.bufferUri[1]), "a b.bin");

  for (const char* bad : {"{", "{\"a\":}", "[1,]x", "{\"a\" 1}", "\"abc", "{}}"})
    EXPECT_FALSE(FindJsonSpans(bad, s)) << bad;
  EXPECT_FALSE(FindJsonSpans(std::string(100000, '['), s));  // deep nesting, no crash
}

TEST(GltfBase64, RoundTripsAndRefusesGarbage) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (size_t n : {0u, 1u, 2u, 3u, 4u, 255u, 256u}) {
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(all.substr(0, n)), back));
    EXPECT_EQ(back, all.substr(0, n));
  }
  EXPECT_EQ(Base64Encode("Man"), "TWFu");
  EXPECT_EQ(Base64Encode("Ma"), "TWE=");
  std::string out;
  for (const char* bad : {"TWF", "TW=u", "T!Fu", "====", "TQ==TWFu"})
    EXPECT_FALSE(Base64Decode(bad, out)) << bad;
  std::string decoded;
  EXPECT_TRUE(PercentDecode("a%20b%2Fc.bin", decoded));
  EXPECT_EQ(decoded, "a b/c.bin");
  EXPECT_FALSE(PercentDecode("a%2", decoded));
  EXPECT_FALSE(PercentDecode("a%zz", decoded));
}

TEST(GltfElements, LayoutsThatRunPastTheirBytesDoNotFit) {
  ElementLayout l{8, 20, 3, kFloat, 2, false};  // interleaved: 8 bytes of UV every 20 bytes
  EXPECT_TRUE(l.Fits(8 + 2 * 20 + 8));
  EXPECT_FALSE(l.Fits(8 + 2 * 20 + 7));
  l.count = SIZE_MAX / 4;  // count * stride overflows
  EXPECT_FALSE(l.Fits(1u << 20));
  l.offset = SIZE_MAX - 4;
  l.count = 1;
  EXPECT_FALSE(l.Fits(1u << 20));
}

TEST(GltfElements, ComponentsReadAndWriteInPlace) {
  // Two interleaved elements: 4 bytes of something else, then a normalized UNSIGNED_SHORT UV.
  std::string bytes(16, '\xAA');
  ElementLayout l{4, 8, 2, kUnsignedShort, 2, true};
  Encoded e = EncodeUnit(0.5, kUnsignedShort);
  ASSERT_TRUE(e.fits);
  EXPECT_FALSE(e.exact);  // 0.5 is between 32767 and 32768 / 65535
  WriteComponent(bytes, l, 1, 0, e);
  WriteComponent(bytes, l, 1, 1, EncodeUnit(1.0, kUnsignedShort));
  EXPECT_NEAR(ReadComponent(bytes, l, 1, 0), 0.5, 1.0 / 65535);
  EXPECT_EQ(ReadComponent(bytes, l, 1, 1), 1.0);
  EXPECT_EQ(ReadRaw(bytes, l, 1, 1), 65535.0);
  // Only the four bytes of element 1 changed.
  EXPECT_EQ(bytes.substr(0, 12), std::string(12, '\xAA'));
  EXPECT_FALSE(EncodeUnit(-0.01, kUnsignedShort).fits);
  EXPECT_FALSE(EncodeUnit(1.01, kUnsignedByte).fits);
  EXPECT_TRUE(EncodeUnit(1.0 / 255, kUnsignedByte).exact);

  ElementLayout f{0, 8, 1, kFloat, 2, false};
  std::string fb(8, '\0');
  Encoded x = EncodeUnit(0.1, kFloat);
  EXPECT_TRUE(x.fits);
  EXPECT_FALSE(x.exact);
  WriteComponent(fb, f, 0, 1, x);
  EXPECT_EQ(ReadComponent(fb, f, 0, 1), static_cast<double>(0.1f));
  EXPECT_TRUE(EncodeUnit(0.25, kFloat).exact);
  EXPECT_FALSE(EncodeUnit(1e300, kFloat).fits);
  EXPECT_FALSE(EncodeUnit(std::nan(""), kFloat).fits);
}

TEST(GltfElements, MinMaxNumbersReadBackToTheStoredValue) {
  const float f = 0.1f;
  const std::string s = MinMaxNumber(f, kFloat);
  EXPECT_EQ(s, "0.1");
  EXPECT_EQ(std::stof(s), f);
  EXPECT_EQ(MinMaxNumber(65535, kUnsignedShort), "65535");
  EXPECT_EQ(MinMaxNumber(0.875, kFloat), "0.875");
}

}  // namespace
