// DecodeHex on arbitrary text: it always advances, never yields more bytes than the text has
// characters, and reads back exactly what EncodeHex wrote, in either letter case.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "regfile/hex_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kbt;
  // Odd inputs are read as Latin-1, even ones as UTF-16: both kinds of character reach the decoder.
  const Text text = size % 2 ? fuzz::Widen8(data, size) : fuzz::Utf16Le(data, size);
  const std::vector<uint8_t> decoded = DecodeHex(text);
  KBT_FUZZ_CHECK(decoded.size() <= text.size());
  KBT_FUZZ_CHECK(text.empty() == decoded.empty());

  std::vector<uint8_t> appended{0x5A};
  DecodeHexInto(text, appended);
  KBT_FUZZ_CHECK(appended.size() == decoded.size() + 1 && appended[0] == 0x5A);
  KBT_FUZZ_CHECK(std::vector<uint8_t>(appended.begin() + 1, appended.end()) == decoded);

  const std::vector<uint8_t> bytes(data, data + size);
  static const uint8_t kNothing = 0;  // an empty vector may have no data pointer
  Text encoded;
  KBT_FUZZ_CHECK(EncodeHex(encoded, size ? bytes.data() : &kNothing, bytes.size()));
  KBT_FUZZ_CHECK(encoded.size() == (size ? size * 3 - 1 : 0));
  KBT_FUZZ_CHECK(DecodeHex(encoded) == bytes);
  for (char16_t& c : encoded) {
    if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  KBT_FUZZ_CHECK(DecodeHex(encoded) == bytes);
  return 0;
}
