#pragma once
// The record of an undo point (docs/UNDO_POINTS.md): a stream of tagged records with an end record
// that counts them and sums every byte, written and read through a buffer of fixed size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kbt::undo_record {

inline constexpr char kMagic[8] = {'K', 'B', 'T', 'U', 'N', 'D', 'O', '1'};
inline constexpr size_t kBufferSize = size_t{1} << 16;

enum Tag : uint8_t {
  kHeaderTag = 'H',
  kTreeTag = 'T',       // the key tree is exactly what the key and value records under it say
  kAllValuesTag = 'A',  // the key's values are exactly what its value records say
  kKeyTag = 'K',
  kValueTag = 'V',
  kFolderTag = 'D',
  kFileTag = 'F',      // a file that did not exist, or one kept by size alone (older points)
  kKeptFileTag = 'C',  // a file kept with its size and content hash; read back as kFileTag
  kEndTag = 'E'
};

// FNV-1a: finds a damaged or half-written record; the folder is the user's own, not an attacker's.
class Checksum {
 public:
  void Add(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) value_ = (value_ ^ data[i]) * 0x100000001b3u;
  }
  uint64_t Value() const { return value_; }

 private:
  uint64_t value_ = 0xcbf29ce484222325u;
};

// A kept file's bytes in 64 bits: finds a file changed or swapped since it was kept, whatever its
// size. Fed in any pieces, it gives the same value; words are taken in the machine's order, and
// points never leave the machine that wrote them.
class ContentHash {
 public:
  void Add(const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size && filled_ != 0) Take(data[i++]);
    for (; i + 8 <= size; i += 8) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      Mix(word);
    }
    while (i < size) Take(data[i++]);
  }
  uint64_t Value() const {
    ContentHash last = *this;
    last.Mix(last.word_ ^ (uint64_t{last.filled_} << 59));
    return last.value_;
  }

 private:
  void Take(uint8_t byte) {
    word_ |= uint64_t{byte} << (8 * filled_);
    if (++filled_ == 8) Mix(word_);
  }
  void Mix(uint64_t word) {
    value_ = (value_ ^ word) * 0x9E3779B97F4A7C15u;
    value_ ^= value_ >> 29;
    word_ = 0;
    filled_ = 0;
  }
  uint64_t value_ = 0xcbf29ce484222325u;
  uint64_t word_ = 0;
  uint32_t filled_ = 0;
};

class RecordWriter {
 public:
  bool Open(const Text& path) {
    if (!file_.Open(path, platform::FileMode::CreateNew)) return false;
    Raw(reinterpret_cast<const uint8_t*>(kMagic), sizeof kMagic);
    return true;
  }
  void Byte(uint8_t value) { Raw(&value, 1); }
  void Number32(uint32_t value) {
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Raw(bytes, sizeof bytes);
  }
  void Number64(uint64_t value) {
    Number32(static_cast<uint32_t>(value));
    Number32(static_cast<uint32_t>(value >> 32));
  }
  void Field(const Text& text) {
    Number32(static_cast<uint32_t>(text.size()));
    for (char16_t c : text) {
      const uint8_t bytes[2] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)};
      Raw(bytes, 2);
    }
  }
  void Field(const std::vector<uint8_t>& data) {
    Number32(static_cast<uint32_t>(data.size()));
    Raw(data.data(), data.size());
  }
  void Record(Tag tag) {
    Byte(tag);
    ++records_;
  }
  // The end record counts the records and sums every byte before the sum; then all is on the disk.
  bool Finish() {
    Byte(kEndTag);
    Number64(records_);
    const uint64_t sum = checksum_.Value();
    Number64(sum);
    ok_ = ok_ && Drain() && file_.Flush();
    return file_.Close() && ok_;
  }

 private:
  void Raw(const uint8_t* data, size_t size) {
    checksum_.Add(data, size);
    buffer_.insert(buffer_.end(), data, data + size);
    if (buffer_.size() >= kBufferSize) ok_ = ok_ && Drain();
  }
  bool Drain() {
    const bool written = buffer_.empty() || file_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written;
  }

  platform::File file_;
  std::vector<uint8_t> buffer_;
  Checksum checksum_;
  uint64_t records_ = 0;
  bool ok_ = true;
};

class RecordReader {
 public:
  bool Open(const Text& path) {
    uint8_t magic[sizeof kMagic];
    if (!file_.Open(path, platform::FileMode::ReadShared) || !file_.Size(&left_)) return false;
    return Raw(magic, sizeof magic) && std::equal(std::begin(magic), std::end(magic), kMagic);
  }
  bool Byte(uint8_t& value) { return Raw(&value, 1); }
  bool Number32(uint32_t& value) {
    uint8_t bytes[4];
    if (!Raw(bytes, 4)) return false;
    value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return true;
  }
  bool Number64(uint64_t& value) {
    uint32_t low = 0, high = 0;
    if (!Number32(low) || !Number32(high)) return false;
    value = low | (static_cast<uint64_t>(high) << 32);
    return true;
  }
  // A length never asks for more than the file still holds, so damage cannot pick a buffer size.
  bool Field(Text& text) {
    uint32_t length = 0;
    if (!Number32(length) || length > platform::kLongestPath || uint64_t{length} * 2 > Left()) return false;
    text.resize(length);
    for (char16_t& c : text) {
      uint8_t bytes[2];
      if (!Raw(bytes, 2)) return false;
      c = static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
    }
    return true;
  }
  bool Field(std::vector<uint8_t>& data) {
    uint32_t length = 0;
    if (!Number32(length) || length > Left()) return false;
    data.resize(length);
    return Raw(data.data(), length);
  }
  uint64_t SumSoFar() const { return checksum_.Value(); }
  uint64_t Left() const { return left_ + (buffered_ - next_); }

 private:
  bool Raw(uint8_t* out, size_t size) {
    while (size > 0) {
      if (next_ == buffered_ && !Fill()) return false;
      const size_t take = std::min(size, buffered_ - next_);
      std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(next_),
                buffer_.begin() + static_cast<std::ptrdiff_t>(next_ + take), out);
      checksum_.Add(out, take);
      next_ += take;
      out += take;
      size -= take;
    }
    return true;
  }
  bool Fill() {
    buffer_.resize(kBufferSize);
    size_t got = 0;
    if (left_ == 0 || !file_.Read(buffer_.data(), buffer_.size(), &got) || got == 0) return false;
    buffered_ = got;
    next_ = 0;
    left_ -= std::min<uint64_t>(left_, got);
    return true;
  }

  platform::File file_;
  std::vector<uint8_t> buffer_;
  size_t buffered_ = 0, next_ = 0;
  uint64_t left_ = 0;
  Checksum checksum_;
};

// One record of an undo point, as read.
struct Item {
  Tag tag = kEndTag;
  Text path, name, blob;
  bool existed = false;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  uint64_t size = 0;
  bool hashed = false;  // a kept file whose content hash the record holds
  uint64_t hash = 0;
};

struct RecordHeader {
  uint32_t kind = 0;
  uint64_t sequence = 0;
  uint64_t created = 0;  // FILETIME, UTC
  Text subject;
};

void WriteHeader(RecordWriter& out, const RecordHeader& header);
bool ReadHeader(RecordReader& in, RecordHeader& header);
bool ReadItem(RecordReader& in, Item& item);
// Calls 'each' with every record after the header; false when the record cannot be read whole,
// its count or its sum is wrong, or anything follows its end.
bool ForEachItem(const Text& recordPath, const std::function<void(const Item&)>& each);

}  // namespace kbt::undo_record
