// Number texts: what the host writes and how it reads them back.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "c4d_string.h"

TEST(String, NumberTexts) {
  const Float inf = std::numeric_limits<Float>::infinity();
  const struct {
    Float v;
    const char* text;
  } floats[] = {{0.25, "0.25"},
                {1024.0, "1024"},
                {-0.0, "-0"},
                {0.1, "0.1"},
                {1e-7, "0.0000001"},  // never an exponent
                {1.0 / 3.0, "0.3333333333333333"},
                {inf, "inf"},
                {-inf, "-inf"},
                {-std::nan(""), "nan"}};
  for (const auto& c : floats) EXPECT_EQ(FormatFloat(c.v), c.text) << c.text;
  EXPECT_EQ(String::IntToString(-7), "-7");
  EXPECT_EQ(FormatInt(std::numeric_limits<Int32>::min()), "-2147483648");
}

// Every finite double, the extremes and subnormals included, reads back bit for bit.
TEST(String, FloatTextReadsBackExactly) {
  std::mt19937_64 rng(11);
  std::vector<Float> values = {std::numeric_limits<Float>::max(),
                               std::numeric_limits<Float>::denorm_min(), -0.0, 0.1 + 0.2};
  for (int i = 0; i < 20000; ++i) {
    const Float f = std::bit_cast<Float>(rng());
    if (std::isfinite(f)) values.push_back(f);
    values.push_back(std::ldexp(static_cast<Float>(rng() >> 11), -53));  // uniform in [0, 1)
  }
  for (Float f : values) {
    Bool error = true;
    const Float back = FormatFloat(f).ToFloat(&error);
    ASSERT_FALSE(error) << FormatFloat(f);
    ASSERT_EQ(std::bit_cast<UInt64>(back), std::bit_cast<UInt64>(f)) << FormatFloat(f);
  }
}

TEST(String, ReadingNumbers) {
  const struct {
    const char* text;
    Float value;
    bool error;
  } floats[] = {
      {" 0.25\r", 0.25, false}, {"\t+2\n", 2.0, false}, {"1e-3", 0.001, false}, {"", 0, true},
      {"abc", 0, true},         {"0.5x", 0, true},      {"0.5 1", 0, true},     {"1e999", 0, true},
      {"+-1", 0, true},         {"0,5", 0, true}};
  for (const auto& c : floats) {
    Bool error = !c.error;
    EXPECT_EQ(String(c.text).ToFloat(&error), c.value) << '"' << c.text << '"';
    EXPECT_EQ(error, c.error) << '"' << c.text << '"';
  }
  Bool error = true;
  EXPECT_TRUE(std::isnan(String("nan").ToFloat(&error)));
  EXPECT_FALSE(error) << "a number text; whoever reads it decides whether to take it";

  const struct {
    const char* text;
    Int32 value;
    bool error;
  } ints[] = {{" -3 ", -3, false},     {"2147483647", 2147483647, false},
              {"2147483648", 0, true}, {"1.5", 0, true},
              {"", 0, true},           {"-", 0, true}};
  for (const auto& c : ints) {
    Bool e = !c.error;
    EXPECT_EQ(String(c.text).ToInt32(&e), c.value) << '"' << c.text << '"';
    EXPECT_EQ(e, c.error) << '"' << c.text << '"';
  }
}
