#include "regfile/hex_codec.h"

#include <gtest/gtest.h>

namespace kbt {
namespace {

TEST(SettingsFileHexTest, EncodeAppendsLowercasePairsWithCommasBetween) {
  const uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
  Text out = u"x:";
  EXPECT_TRUE(EncodeHex(out, bytes, 4));
  EXPECT_EQ(out, u"x:00,0f,a0,ff");
  EXPECT_TRUE(EncodeHex(out, bytes, 0));
  EXPECT_EQ(out, u"x:00,0f,a0,ff") << "no data appends nothing";
  EXPECT_FALSE(EncodeHex(out, nullptr, 0));
  EXPECT_FALSE(EncodeHex(out, nullptr, 3));
  EXPECT_EQ(out, u"x:00,0f,a0,ff");
}

TEST(SettingsFileHexTest, EveryByteValueSurvivesARoundTrip) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  Text text;
  ASSERT_TRUE(EncodeHex(text, all.data(), all.size()));
  EXPECT_EQ(text.size(), 256u * 3 - 1);
  EXPECT_EQ(DecodeHex(text), all);
  Text upper = text;
  for (char16_t& c : upper) c = (c >= u'a' && c <= u'f') ? static_cast<char16_t>(c - 32) : c;
  EXPECT_EQ(DecodeHex(upper), all);
}

struct DecodeCase {
  Text text;
  std::vector<uint8_t> bytes;
};

// Each item is one number read as wcstoul reads it, of which the low 8 bits count.
TEST(SettingsFileHexTest, DecodeReadsOneByteForEachItem) {
  const DecodeCase cases[] = {
      {u"", {}},
      {u"01", {1}},
      {u"1", {1}},
      {u"01,", {1}},
      {u"01,,02", {1, 0, 2}},
      {u",", {0}},
      {u"zz", {0, 0}},
      {u"0x1f,0X2", {0x1F, 2}},
      {u"0x", {0}},
      {u"0xg", {0, 0}},
      {u" 1,\t2", {1, 2}},
      {u"-1,+2,-", {0xFF, 2, 0}},
      {u"1ff,12345", {0xFF, 0x45}},
      {u"fffffffffffffffffffff3", {0xF3}},
      {u"a;b", {0x0A, 0x0B}},
      {u"12 34", {0x12, 0x34}},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(DecodeHex(c.text), c.bytes) << ToUtf8(c.text);
}

}  // namespace
}  // namespace kbt
