#include "regfile/hex_codec.h"

namespace kbt {
namespace {

constexpr char16_t kDigits[] = u"0123456789abcdef";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

bool EncodeHex(Text& out, const uint8_t* data, size_t count) {
  if (!data) return false;
  if (count == 0) return true;
  size_t at = out.size();
  out.resize(at + count * 3 - 1);
  char16_t* p = &out[at];
  for (size_t i = 0; i < count; ++i) {
    if (i) *p++ = u',';
    *p++ = kDigits[data[i] >> 4];
    *p++ = kDigits[data[i] & 15];
  }
  return true;
}

bool DecodeHex(std::u16string_view text, std::vector<uint8_t>& out) {
  const size_t n = text.size();
  out.reserve(out.size() + n / 3 + 1);
  size_t i = 0;
  const auto blanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  blanks();
  if (i == n) return true;
  for (;;) {
    int digit = HexValue(text[i]);
    if (digit < 0) return false;
    unsigned byte = unsigned(digit);
    if (++i < n && (digit = HexValue(text[i])) >= 0) {
      byte = byte << 4 | unsigned(digit);
      ++i;
    }
    out.push_back(static_cast<uint8_t>(byte));
    blanks();
    if (i == n) return true;
    if (text[i] != u',') return false;
    ++i;
    blanks();
    if (i == n) return true;
  }
}

}  // namespace kbt
