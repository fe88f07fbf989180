// DecodeHex on arbitrary text: what it accepts is a list of bytes that reads back the same once
// written in the writer's form, it only appends, and it reads back exactly what EncodeHex wrote, in
// either letter case.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "regfile/hex_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kbt;
  // Odd inputs are read as Latin-1, even ones as UTF-16: both kinds of character reach the decoder.
  const Text text = size % 2 ? fuzz::Widen8(data, size) : fuzz::Utf16Le(data, size);
  std::vector<uint8_t> appended{0x5A};
  if (DecodeHex(text, appended)) {
    KBT_FUZZ_CHECK(appended[0] == 0x5A);
    const std::vector<uint8_t> decoded(appended.begin() + 1, appended.end());
    KBT_FUZZ_CHECK(decoded.size() <= text.size());
    Text again;
    static const uint8_t kNothing = 0;
    KBT_FUZZ_CHECK(EncodeHex(again, decoded.empty() ? &kNothing : decoded.data(), decoded.size()));
    std::vector<uint8_t> reread;
    KBT_FUZZ_CHECK(DecodeHex(again, reread) && reread == decoded);
  }

  const std::vector<uint8_t> bytes(data, data + size);
  static const uint8_t kNothing = 0;  // an empty vector may have no data pointer
  Text encoded;
  KBT_FUZZ_CHECK(EncodeHex(encoded, size ? bytes.data() : &kNothing, bytes.size()));
  KBT_FUZZ_CHECK(encoded.size() == (size ? size * 3 - 1 : 0));
  std::vector<uint8_t> decoded;
  KBT_FUZZ_CHECK(DecodeHex(encoded, decoded) && decoded == bytes);
  for (char16_t& c : encoded) {
    if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  decoded.clear();
  KBT_FUZZ_CHECK(DecodeHex(encoded, decoded) && decoded == bytes);
  return 0;
}
