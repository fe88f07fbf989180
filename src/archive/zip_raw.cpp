#include "archive/zip_raw.h"

#include <string>
#include <vector>

#include "archive/zip_aes.h"

namespace kbt {
namespace {

constexpr uint32_t kLocalSignature = 0x04034B50u;
constexpr uint32_t kCentralSignature = 0x02014B50u;
constexpr uint32_t kEndSignature = 0x06054B50u;
constexpr uint32_t kZip64EndSignature = 0x06064B50u;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50u;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;

uint64_t Field(const unsigned char* bytes, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  return value;
}

struct CentralHeader {
  unsigned char fixed[kCentralHeaderSize];
  std::vector<unsigned char> extra;
  uint64_t localOffset = 0;
  uint64_t size = 0;  // of the whole header
};

bool ReadCentralHeader(RawZipFile& file, uint64_t offset, CentralHeader& header) {
  if (!file.ReadAt(offset, header.fixed, kCentralHeaderSize) || Field(header.fixed, 4) != kCentralSignature)
    return false;
  const size_t nameSize = Field(header.fixed + 28, 2), extraSize = Field(header.fixed + 30, 2),
               commentSize = Field(header.fixed + 32, 2);
  header.extra.resize(extraSize);
  if (extraSize > 0 && !file.ReadAt(offset + kCentralHeaderSize + nameSize, header.extra.data(), extraSize))
    return false;
  header.size = kCentralHeaderSize + nameSize + extraSize + commentSize;
  header.localOffset = Field(header.fixed + 42, 4);
  if (header.localOffset != 0xFFFFFFFFu) return true;
  // The zip64 field holds, in this order, only the values the fixed header could not.
  for (size_t at = 0; at + 4 <= header.extra.size();) {
    const size_t length = Field(&header.extra[at + 2], 2);
    if (length > header.extra.size() - at - 4) return false;
    if (Field(&header.extra[at], 2) == 1) {
      size_t skip = (Field(header.fixed + 24, 4) == 0xFFFFFFFFu ? 8 : 0) + (Field(header.fixed + 20, 4) == 0xFFFFFFFFu ? 8 : 0);
      if (skip + 8 > length) return false;
      header.localOffset = Field(&header.extra[at + 4 + skip], 8);
      return true;
    }
    at += 4 + length;
  }
  return false;
}

}  // namespace

RawZipFile::~RawZipFile() { Close(); }

bool RawZipFile::Open(const Text& path, bool writable) {
  Close();
  platform::ZipFileAccess access(path);
  functions_ = *access.Functions();
  const int mode = writable ? ZLIB_FILEFUNC_MODE_EXISTING | ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_WRITE
                            : ZLIB_FILEFUNC_MODE_EXISTING | ZLIB_FILEFUNC_MODE_READ;
  stream_ = functions_.zopen64_file(functions_.opaque, access.Path(), mode);
  return stream_ != nullptr;
}

bool RawZipFile::Close() {
  if (!stream_) return true;
  const bool closed = functions_.zclose_file(functions_.opaque, stream_) == 0;
  stream_ = nullptr;
  return closed;
}

bool RawZipFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
  return stream_ && functions_.zseek64_file(functions_.opaque, stream_, offset, ZLIB_FILEFUNC_SEEK_SET) == 0 &&
         functions_.zread_file(functions_.opaque, stream_, buffer, static_cast<uLong>(size)) == size;
}

bool RawZipFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  return stream_ && functions_.zseek64_file(functions_.opaque, stream_, offset, ZLIB_FILEFUNC_SEEK_SET) == 0 &&
         functions_.zwrite_file(functions_.opaque, stream_, data, static_cast<uLong>(size)) == size;
}

bool RawZipFile::Size(uint64_t* size) {
  if (!stream_ || functions_.zseek64_file(functions_.opaque, stream_, 0, ZLIB_FILEFUNC_SEEK_END) != 0) return false;
  *size = functions_.ztell64_file(functions_.opaque, stream_);
  return *size != static_cast<uint64_t>(-1);
}

bool FindEntryData(RawZipFile& file, uint64_t centralHeaderOffset, uint64_t* dataOffset) {
  CentralHeader central;
  unsigned char local[kLocalHeaderSize];
  if (!ReadCentralHeader(file, centralHeaderOffset, central) ||
      !file.ReadAt(central.localOffset, local, kLocalHeaderSize) || Field(local, 4) != kLocalSignature)
    return false;
  *dataOffset = central.localOffset + kLocalHeaderSize + Field(local + 26, 2) + Field(local + 28, 2);
  return true;
}

bool MarkAesEntries(RawZipFile& file, size_t commentSize) {
  uint64_t size = 0;
  unsigned char end[kEndSize];
  if (!file.Size(&size) || size < kEndSize + commentSize) return false;
  const uint64_t endOffset = size - kEndSize - commentSize;
  if (!file.ReadAt(endOffset, end, kEndSize) || Field(end, 4) != kEndSignature) return false;
  uint64_t entries = Field(end + 10, 2), directory = Field(end + 16, 4);
  if (entries == 0xFFFF || directory == 0xFFFFFFFFu || Field(end + 12, 4) == 0xFFFFFFFFu) {
    unsigned char locator[20], end64[56];
    if (endOffset < sizeof locator || !file.ReadAt(endOffset - sizeof locator, locator, sizeof locator) ||
        Field(locator, 4) != kZip64LocatorSignature || !file.ReadAt(Field(locator + 8, 8), end64, sizeof end64) ||
        Field(end64, 4) != kZip64EndSignature)
      return false;
    entries = Field(end64 + 32, 8);
    directory = Field(end64 + 48, 8);
  }
  const unsigned char method[2] = {kAesMethod & 0xFF, kAesMethod >> 8};
  uint64_t at = directory;
  for (uint64_t i = 0; i < entries; ++i) {
    CentralHeader central;
    if (!ReadCentralHeader(file, at, central)) return false;
    AesExtra extra;
    if (FindAesExtra(central.extra.data(), central.extra.size(), extra) == AesExtraFound::Found) {
      unsigned char local[kLocalHeaderSize];
      if (!file.ReadAt(central.localOffset, local, kLocalHeaderSize) || Field(local, 4) != kLocalSignature ||
          !file.WriteAt(central.localOffset + 8, method, sizeof method) || !file.WriteAt(at + 10, method, sizeof method))
        return false;
    }
    at += central.size;
  }
  return true;
}

}  // namespace kbt
