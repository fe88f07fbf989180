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

// The white space that wcstoul skips before a number.
bool IsNumberSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Reads one number as wcstoul(text + at, &end, 16) would; returns where it ended (== at when no
// number was found). Only the low 8 bits are kept, so long digit runs cannot overflow anything.
size_t ReadHexNumber(std::u16string_view text, size_t at, uint8_t* byte) {
  size_t i = at;
  const size_t n = text.size();
  while (i < n && IsNumberSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i + 2 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') && HexValue(text[i + 2]) >= 0) {
    i += 2;
  }
  unsigned value = 0;
  const size_t digits = i;
  for (int digit; i < n && (digit = HexValue(text[i])) >= 0; ++i) value = ((value << 4) | unsigned(digit)) & 0xFF;
  if (i == digits) {
    *byte = 0;
    return at;
  }
  *byte = static_cast<uint8_t>(negative ? 0u - value : value);
  return i;
}

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

void DecodeHexInto(std::u16string_view text, std::vector<uint8_t>& out) {
  const size_t n = text.size();
  out.reserve(out.size() + n / 3 + 1);
  size_t i = 0;
  while (i < n) {
    int high, low;
    // The writer's own form, two digits and then a comma or the end, needs no general parse.
    if (i + 1 < n && (high = HexValue(text[i])) >= 0 && (low = HexValue(text[i + 1])) >= 0 &&
        (i + 2 == n || text[i + 2] == u',')) {
      out.push_back(static_cast<uint8_t>(high << 4 | low));
      i += 2;
    } else {
      uint8_t byte = 0;
      i = ReadHexNumber(text, i, &byte);
      out.push_back(byte);
    }
    if (i < n) ++i;  // the comma, or whatever stands in its place
  }
}

std::vector<uint8_t> DecodeHex(const Text& text) {
  std::vector<uint8_t> out;
  DecodeHexInto(text, out);
  return out;
}

}  // namespace kbt
