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

std::vector<uint8_t> Decoded(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(DecodeHex(text, bytes)) << ToUtf8(Text(text));
  return bytes;
}

TEST(SettingsFileHexTest, EveryByteValueSurvivesARoundTrip) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  Text text;
  ASSERT_TRUE(EncodeHex(text, all.data(), all.size()));
  EXPECT_EQ(text.size(), 256u * 3 - 1);
  EXPECT_EQ(Decoded(text), all);
  Text upper = text;
  for (char16_t& c : upper) c = (c >= u'a' && c <= u'f') ? static_cast<char16_t>(c - 32) : c;
  EXPECT_EQ(Decoded(upper), all);
}

struct DecodeCase {
  Text text;
  bool read;
  std::vector<uint8_t> bytes;
};

// One or two digits per byte, as the registry editor reads them; anything else is refused rather
// than turned into bytes nobody wrote.
TEST(SettingsFileHexTest, DecodeReadsListsOfBytesAndRefusesTheRest) {
  const DecodeCase cases[] = {
      {u"", true, {}},
      {u"1", true, {1}},
      {u"01,", true, {1}},
      {u" 1 ,\t2, ", true, {1, 2}},
      {u"01,,02", false, {}},
      {u"zz", false, {}},
      {u"0x1f", false, {}},
      {u"1ff", false, {}},
      {u"12 34", false, {}},
  };
  for (const DecodeCase& c : cases) {
    std::vector<uint8_t> bytes{9};
    EXPECT_EQ(DecodeHex(c.text, bytes), c.read) << ToUtf8(c.text);
    std::vector<uint8_t> expected{9};
    expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
    if (c.read) {
      EXPECT_EQ(bytes, expected) << "appended after what was there: " << ToUtf8(c.text);
    }
  }
}

}  // namespace
}  // namespace kbt
