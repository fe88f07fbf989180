#include "archive/backup_archive.h"

#include <libdeflate.h>
#include <unzip.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "archive/parallel_deflate.h"
#include "archive/zip_aes.h"
#include "archive/zip_raw.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/zip_files.h"

namespace kbt {
namespace {

constexpr size_t kChunkSize = 32768;
constexpr int kRawDeflateWindowBits = -MAX_WBITS;
constexpr int kDeflateMemoryLevel = 8;
// Names and comments carry a 16-bit length in the zip headers.
constexpr size_t kLongestZipText = 0xFFFF;
constexpr size_t kEndRecordSize = 22;
// Beyond this the deflated data of an incompressible file could reach 4 GiB, which only the
// zip64 fields can describe. The margin is well above deflate's worst-case growth.
constexpr uint64_t kLargestPlainEntry = 0xFF000000u;
// General purpose bit 0: the entry is encrypted.
constexpr uLong kEncryptedFlag = 1u;
// General purpose bit 11: the entry's name and comment are UTF-8.
constexpr uLong kUtf8NamesFlag = 1u << 11;
// Made by Windows NTFS (10) to version 6.3 of the format, the first with UTF-8 names. Info-ZIP's
// unzip reads every name of an MS-DOS (0) entry as OEM text, whatever the flag says.
constexpr uLong kVersionMadeBy = (10u << 8) | 63u;

// Removes a temporary file unless it was kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(Text path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    // A temporary file that stays is a leftover of the tool's own name: the next run removes it.
    if (!path_.empty()) static_cast<void>(platform::RemoveFile(path_));
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const Text& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  Text path_;
};

// An entry's name as the writer meant it: UTF-8 when the entry says so, otherwise the ANSI code
// page, as every archive before the flag was written. A name with a zero byte in it names nothing.
bool DecodeEntryName(const char* bytes, size_t length, uLong flag, Text& name) {
  const std::string narrow(bytes, length);
  if (narrow.find('\0') != std::string::npos) return false;
  name = (flag & kUtf8NamesFlag) ? FromUtf8(narrow) : platform::Widen(narrow);
  return true;
}

enum class Match { First, Last };

// Walks the central directory for an entry whose decoded name passes `equals` and makes it
// current; when none does, the entry that was current stays current.
template <typename Equals>
bool FindEntry(unzFile zip, Match match, Equals equals) {
  unz64_file_pos previous{};
  const bool hadCurrent = unzGetFilePos64(zip, &previous) == UNZ_OK;
  unz64_file_pos found{};
  bool any = false;
  std::vector<char> name(kLongestZipText + 1);
  for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
      break;
    Text decoded;
    if (!DecodeEntryName(name.data(), static_cast<size_t>(info.size_filename), info.flag, decoded) || !equals(decoded))
      continue;
    if (unzGetFilePos64(zip, &found) != UNZ_OK) break;
    any = true;
    if (match == Match::First) break;
  }
  if (any && unzGoToFilePos64(zip, &found) == UNZ_OK) return true;
  if (hadCurrent) unzGoToFilePos64(zip, &previous);
  return false;
}

struct Inflater {
  z_stream stream{};
  bool open = false;
  bool Open() { return open = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (open) inflateEnd(&stream);
  }
};

}  // namespace

namespace detail {
bool ZipHandleTraits::Close(Type handle) { return zipClose(handle, nullptr) == ZIP_OK; }
bool UnzipHandleTraits::Close(Type handle) { return unzClose(handle) == UNZ_OK; }
}  // namespace detail

// ---- writer ----

BackupArchiveWriter::BackupArchiveWriter() = default;

BackupArchiveWriter::~BackupArchiveWriter() {
  try {
    Close();
  } catch (...) {
    // The comment could not be narrowed; the entries are still completed.
    zip_.Reset();
  }
}

bool BackupArchiveWriter::IsOpen() const { return static_cast<bool>(zip_); }

bool BackupArchiveWriter::Open(const Text& path, int appendMode) {
  if (zip_ || path.empty()) return false;
  platform::ZipFileAccess access(path);
  zip_.Reset(zipOpen2_64(access.Path(), appendMode, nullptr, access.Functions()));
  path_ = path;
  aesEntries_ = false;
  return static_cast<bool>(zip_);
}

bool BackupArchiveWriter::FailSource() {
  failure_ = platform::LastError();
  return false;
}

// The first reason is kept: what the zip library does after a failed write fails for that one.
bool BackupArchiveWriter::FailTarget() {
  if (!targetFailed_) failure_ = platform::LastError();
  targetFailed_ = true;
  return false;
}

void BackupArchiveWriter::ExpectFile(const Text& sourcePath) {
  platform::File source;
  uint64_t size = 0;
  if (source.Open(sourcePath, platform::FileMode::ReadShared) && source.Size(&size)) expected_ += size;
}

bool BackupArchiveWriter::AddFile(const Text& sourcePath, const Text& entryName, int level,
                                  const Text* entryComment) {
  if (targetFailed_ || cancelled_) return false;
  failure_ = 0;
  if (!zip_ || sourcePath.empty() || entryName.empty()) return false;

  zip_fileinfo info{};
  uint32_t dosDateTime = 0;
  if (platform::GetLastWriteDosTime(sourcePath, &dosDateTime)) info.dosDate = dosDateTime;

  platform::File source;
  uint64_t size = 0;
  if (!source.Open(sourcePath, platform::FileMode::ReadShared) || !source.Size(&size)) return FailSource();

  const std::string name = ToUtf8(entryName);
  const std::string comment = entryComment ? ToUtf8(*entryComment) : std::string();
  if (name.size() > kLongestZipText || comment.size() > kLongestZipText) return false;

  // Deflated entries are compressed here, on all cores, and handed to minizip as they are.
  const bool deflated = level != 0;
  const int zip64 = size > kLargestPlainEntry ? 1 : 0;
  // An encrypted entry: minizip takes no method but 0 and 8, so it writes 0 with the AES extra
  // field, and Close sets method 99. The CRC is 0 (AE-2): the authentication code covers the data.
  const bool encrypted = !Password.empty();
  std::string aesExtra;
  ZipAesCipher cipher;
  unsigned char salt[16] = {};
  if (encrypted) {
    aesExtra = EncodeAesExtra(AesExtra{2, kAesStrength256, static_cast<uint16_t>(deflated ? Z_DEFLATED : 0)});
    // The key is derived once per entry, before any piece is compressed.
    if (!platform::RandomBytes(salt, AesSaltSize(kAesStrength256)) ||
        !cipher.Start(ToUtf8(Password), salt, kAesStrength256))
      return false;
  }
  const int method = encrypted ? 0 : deflated ? Z_DEFLATED : 0;
  if (zipOpenNewFileInZip4_64(zip_.Get(), name.c_str(), &info, encrypted ? aesExtra.data() : nullptr,
                              static_cast<uInt>(aesExtra.size()), encrypted ? aesExtra.data() : nullptr,
                              static_cast<uInt>(aesExtra.size()), entryComment ? comment.c_str() : nullptr, method,
                              level, deflated || encrypted ? 1 : 0, kRawDeflateWindowBits, kDeflateMemoryLevel,
                              Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy,
                              kUtf8NamesFlag | (encrypted ? kEncryptedFlag : 0), zip64) != ZIP_OK)
    return FailTarget();
  auto store = [&](const unsigned char* data, size_t length) {
    return length == 0 || zipWriteInFileInZip(zip_.Get(), data, static_cast<unsigned>(length)) == ZIP_OK ||
           FailTarget();
  };
  if (encrypted) {
    aesEntries_ = true;
    if (!store(salt, AesSaltSize(kAesStrength256)) || !store(cipher.Verifier(), kAesVerifierSize)) {
      static_cast<void>(zipCloseFileInZipRaw64(zip_.Get(), 0, 0));
      return false;
    }
  }
  // The output stream is encrypted in order, as it leaves the deflater: never the pieces.
  std::vector<unsigned char> sealed;
  bool sealFailed = false;
  auto write = [&](const unsigned char* data, size_t length) {
    if (!encrypted) return store(data, length);
    sealed.assign(data, data + length);
    if (!cipher.Encrypt(sealed.data(), sealed.size())) {
      sealFailed = true;
      return false;
    }
    return store(sealed.data(), sealed.size());
  };
  ParallelDeflater deflater(level, CompressionThreads, write);

  // A file that grows past the plain limit while it is read would no longer fit the entry's
  // headers: it is cut there and reported, never written as a corrupt entry.
  const uint64_t limit = zip64 ? UINT64_MAX : kLargestPlainEntry;
  uint64_t total = 0;
  uint32_t storedCrc = 0;
  bool copied = true;
  try {
    for (bool last = false; copied && !last;) {
      const bool whole = expected_ != 0;
      if (Progress && !Progress(sourcePath, whole ? added_ + total : total,
                                whole ? std::max(expected_, added_ + size) : size)) {
        cancelled_ = true;
        copied = false;
        break;
      }
      std::vector<unsigned char> piece(kDeflatePieceSize);
      size_t filled = 0;
      for (size_t got = 1; got != 0 && filled < piece.size(); filled += got) {
        if (!source.Read(piece.data() + filled, piece.size() - filled, &got)) {
          copied = FailSource();
          break;
        }
      }
      if (!copied || filled > limit - total) {
        copied = false;
        break;
      }
      total += filled;
      last = filled < piece.size();
      piece.resize(filled);
      if (!deflated) storedCrc = libdeflate_crc32(storedCrc, piece.data(), piece.size());
      copied = deflated ? deflater.Add(std::move(piece), last) : write(piece.data(), piece.size());
    }
  } catch (const std::bad_alloc&) {
    copied = false;  // no memory for a piece: the entry ends with what was written
  }
  added_ += std::max(size, total);
  // The entry holds what reached the stream, with its own size and CRC, even after a failure.
  if (deflated) copied = deflater.Finish() && copied;
  if (encrypted) {
    unsigned char code[kAesAuthCodeSize];
    copied = !sealFailed && cipher.Finish(code) && store(code, sizeof code) && copied;
  }
  const uint64_t inputSize = deflated ? deflater.InputSize() : total;
  const uLong crc = encrypted ? 0 : deflated ? deflater.Crc() : storedCrc;
  if (!deflated && !encrypted) return (zipCloseFileInZip(zip_.Get()) == ZIP_OK || FailTarget()) && copied;
  return (zipCloseFileInZipRaw64(zip_.Get(), inputSize, crc) == ZIP_OK || FailTarget()) && copied;
}

bool BackupArchiveWriter::Close() {
  if (!zip_) return true;
  std::string comment;
  bool commentFits = true;
  if (HasComment) {
    comment = platform::Narrow(CommentText);
    commentFits = comment.size() <= kLongestZipText;
  }
  // A comment too long for the end record is left out rather than written with a wrong length.
  const bool written = HasComment && commentFits;
  const int result = zipClose(zip_.Release(), written ? comment.c_str() : nullptr);
  if (result != ZIP_OK) FailTarget();
  // Only a complete archive is marked; one that is not is a failure anyway.
  bool marked = true;
  if (result == ZIP_OK && aesEntries_) {
    RawZipFile file;
    marked = file.Open(path_, true) && MarkAesEntries(file, written ? comment.size() : 0) && file.Close();
    if (!marked) FailTarget();
  }
  return result == ZIP_OK && commentFits && marked;
}

// ---- reader ----

BackupArchiveReader::BackupArchiveReader() = default;
BackupArchiveReader::~BackupArchiveReader() { Close(); }

bool BackupArchiveReader::IsOpen() const { return unzip_ || emptyArchive_; }

bool BackupArchiveReader::Open(const Text& path) {
  if (IsOpen() || path.empty()) return false;
  platform::ZipFileAccess access(path);
  unzip_.Reset(unzOpen2_64(access.Path(), access.Functions()));
  path_ = path;
  return unzip_ || OpenEmptyArchive(path);
}

// minizip never looks for the end record at offset 0, where an archive without entries has it.
bool BackupArchiveReader::OpenEmptyArchive(const Text& path) {
  platform::File file;
  uint64_t size = 0;
  if (!file.Open(path, platform::FileMode::ReadShared) || !file.Size(&size) || size < kEndRecordSize ||
      size > kEndRecordSize + kLongestZipText)
    return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  size_t got = 0;
  for (size_t done = 0; done < bytes.size(); done += got) {
    if (!file.Read(&bytes[done], bytes.size() - done, &got) || got == 0) return false;
  }
  auto field = [&](size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i)
      value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
  };
  // Signature; disk numbers, entry counts, directory size and offset all 0; the comment fills the rest.
  if (field(0, 4) != 0x06054B50u || field(4, 4) != 0 || field(8, 4) != 0 || field(12, 4) != 0 || field(16, 4) != 0 ||
      field(20, 2) != size - kEndRecordSize)
    return false;
  emptyArchiveComment_ = bytes.substr(kEndRecordSize);
  emptyArchive_ = true;
  return true;
}

void BackupArchiveReader::Close() {
  unzip_.Reset();
  path_.clear();
  emptyArchive_ = false;
  emptyArchiveComment_.clear();
}

bool BackupArchiveReader::ReadGlobalComment(Text& comment) {
  if (emptyArchive_) {
    if (emptyArchiveComment_.empty()) return false;
    comment = platform::Widen(emptyArchiveComment_);
    return true;
  }
  if (!unzip_) return false;
  unz_global_info64 info{};
  if (unzGetGlobalInfo64(unzip_.Get(), &info) != UNZ_OK || info.size_comment == 0) return false;
  std::string buffer(info.size_comment + 1, '\0');
  const int got = unzGetGlobalComment(unzip_.Get(), &buffer[0], info.size_comment);
  if (got < 1) return false;
  buffer.resize(static_cast<size_t>(got));
  comment = platform::Widen(buffer);
  return true;
}

bool BackupArchiveReader::LocateEntry(const Text& name, bool ignoreCase) {
  if (!unzip_ || name.empty()) return false;
  return FindEntry(unzip_.Get(), Match::First, [&](const Text& entry) {
    return ignoreCase ? EqualsIgnoreAsciiCase(entry, name) : entry == name;
  });
}

bool BackupArchiveReader::LocateLastEntry(const Text& name) {
  if (!unzip_ || name.empty()) return false;
  return FindEntry(unzip_.Get(), Match::Last, [&](const Text& entry) { return entry == name; });
}

bool BackupArchiveReader::CheckDirectory(std::vector<Text>* names) {
  if (emptyArchive_) return true;
  if (!unzip_) return false;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(unzip_.Get(), &global) != UNZ_OK) return false;
  // minizip stops its walk at the end record's count, and for a count of 0xFFFF reads on until a
  // header fails: so the walk stops at the count itself, and every step up to it must succeed.
  // The headers lie in the file, so a lying count ends the walk at the file's end.
  std::vector<char> name(kLongestZipText + 1);
  bool whole = unzGoToFirstFile(unzip_.Get()) == UNZ_OK;
  for (ZPOS64_T walked = 0; whole && walked < global.number_entry; ++walked) {
    unz_file_info64 info{};
    whole = unzGetCurrentFileInfo64(unzip_.Get(), &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                    nullptr, 0) == UNZ_OK;
    Text decoded;
    if (whole && names && DecodeEntryName(name.data(), static_cast<size_t>(info.size_filename), info.flag, decoded))
      names->push_back(std::move(decoded));
    if (whole && walked + 1 < global.number_entry) whole = unzGoToNextFile(unzip_.Get()) == UNZ_OK;
  }
  const bool first = unzGoToFirstFile(unzip_.Get()) == UNZ_OK;
  return whole && first;
}

bool BackupArchiveReader::ExtractCurrentEntry(const Text& destination, const Text* password) {
  failure_ = 0;
  if (!unzip_ || destination.empty()) return false;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(unzip_.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  const std::string givenPassword = password ? ToUtf8(*password) : std::string();

  // The data goes to a temporary file beside the destination, so that a broken entry never
  // replaces a good file.
  Text folder = destination;
  platform::RemoveLastComponent(folder);
  if (folder.empty()) folder.push_back(u'.');
  Text tempPath;
  platform::File created;
  if (!platform::CreateTempFile(folder, tempPath, created)) {
    failure_ = platform::LastError();
    return false;
  }
  TemporaryFile temp(tempPath);
  // Closed before the temporary file is removed: Windows deletes no file that is open.
  platform::File out = std::move(created);
  uint64_t done = 0;
  if (Progress) (void)Progress(destination, done, info.uncompressed_size);  // a restore runs to its end
  auto write = [&](const unsigned char* data, size_t size) {
    if (!out.Write(data, size)) {
      failure_ = platform::LastError();
      return false;
    }
    done += size;
    if (Progress) (void)Progress(destination, done, info.uncompressed_size);
    return true;
  };
  const bool copied = ReadCurrentEntry(password ? &givenPassword : hasPassword_ ? &password_ : nullptr, write);
  const bool written = out.Close();
  if (!written && failure_ == 0) failure_ = platform::LastError();
  if (!copied || !written) return false;

  if (!platform::MoveReplacing(temp.Path(), destination)) {
    failure_ = platform::LastError();
    return false;
  }
  temp.Keep();
  // The file is complete; a time that cannot be set does not undo that.
  static_cast<void>(platform::SetFileTimesFromDos(destination, static_cast<uint32_t>(info.dosDate)));
  return true;
}

namespace {

bool IsEncrypted(const unz_file_info64& info) {
  return (info.flag & kEncryptedFlag) != 0 || info.compression_method == kAesMethod;
}

// An AES entry opened for reading: its extra field read, its salt and verifier checked against
// the password, the cipher ready for the data that follows.
struct AesEntry {
  AesExtra extra;
  RawZipFile file;
  ZipAesCipher cipher;
  uint64_t dataOffset = 0;  // of the encrypted data
  uint64_t dataSize = 0;    // without salt, verifier and authentication code
};

EntryProblem OpenAesEntry(unzFile zip, const Text& path, const unz_file_info64& info, const std::string* password,
                          AesEntry& entry) {
  if (info.compression_method != kAesMethod) return EntryProblem::Unsupported;  // the old zip encryption
  std::vector<unsigned char> fields(info.size_file_extra);
  if (unzGetCurrentFileInfo64(zip, nullptr, nullptr, 0, fields.data(), static_cast<uLong>(fields.size()), nullptr,
                              0) != UNZ_OK)
    return EntryProblem::Damaged;
  switch (FindAesExtra(fields.data(), fields.size(), entry.extra)) {
    case AesExtraFound::Missing:
    case AesExtraFound::Malformed: return EntryProblem::Damaged;
    case AesExtraFound::Found: break;
  }
  const size_t saltSize = AesSaltSize(entry.extra.strength);
  if (saltSize == 0 || (entry.extra.version != 1 && entry.extra.version != 2) ||
      (entry.extra.method != 0 && entry.extra.method != Z_DEFLATED))
    return EntryProblem::Unsupported;
  if (!password) return EntryProblem::PasswordNeeded;
  // A salt, verifier or authentication code cut short.
  const uint64_t framing = saltSize + kAesVerifierSize + kAesAuthCodeSize;
  if (info.compressed_size < framing) return EntryProblem::Damaged;
  entry.dataSize = info.compressed_size - framing;
  unsigned char head[16 + kAesVerifierSize];
  uint64_t start = 0;
  if (!entry.file.Open(path, false) || !FindEntryData(entry.file, unzGetOffset64(zip), &start) ||
      !entry.file.ReadAt(start, head, saltSize + kAesVerifierSize))
    return EntryProblem::Damaged;
  entry.dataOffset = start + saltSize + kAesVerifierSize;
  if (!entry.cipher.Start(*password, head, entry.extra.strength)) return EntryProblem::Damaged;
  if (std::memcmp(entry.cipher.Verifier(), head + saltSize, kAesVerifierSize) != 0) return EntryProblem::WrongPassword;
  return EntryProblem::None;
}

}  // namespace

void BackupArchiveReader::SetPassword(const Text& password) {
  password_ = ToUtf8(password);
  hasPassword_ = true;
}

ArchiveProtection BackupArchiveReader::Protection() {
  if (emptyArchive_) return ArchiveProtection::Plain;
  if (!unzip_) return ArchiveProtection::Unreadable;
  size_t encrypted = 0, plain = 0;
  int status = unzGoToFirstFile(unzip_.Get());
  for (; status == UNZ_OK; status = unzGoToNextFile(unzip_.Get())) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(unzip_.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    ++(IsEncrypted(info) ? encrypted : plain);
  }
  const bool whole = status == UNZ_END_OF_LIST_OF_FILE;
  static_cast<void>(unzGoToFirstFile(unzip_.Get()));
  if (!whole) return ArchiveProtection::Unreadable;
  return encrypted == 0 ? ArchiveProtection::Plain : plain == 0 ? ArchiveProtection::Protected : ArchiveProtection::Mixed;
}

EntryProblem BackupArchiveReader::CheckPassword() {
  problem_ = EntryProblem::None;
  if (emptyArchive_) return problem_;
  if (!unzip_) return problem_ = EntryProblem::Damaged;
  for (int status = unzGoToFirstFile(unzip_.Get()); status == UNZ_OK && problem_ == EntryProblem::None;
       status = unzGoToNextFile(unzip_.Get())) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(unzip_.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      problem_ = EntryProblem::Damaged;
    } else if (IsEncrypted(info)) {
      AesEntry entry;
      problem_ = OpenAesEntry(unzip_.Get(), path_, info, hasPassword_ ? &password_ : nullptr, entry);
    }
  }
  static_cast<void>(unzGoToFirstFile(unzip_.Get()));
  return problem_;
}

bool BackupArchiveReader::ReadCurrentEntry(const std::string* password,
                                           const std::function<bool(const unsigned char*, size_t)>& consume) {
  problem_ = EntryProblem::Damaged;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(unzip_.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  const bool good = ReadEntryData(info, password, consume);
  if (good) problem_ = EntryProblem::None;
  return good;
}

bool BackupArchiveReader::ReadEntryData(const unz_file_info64& info, const std::string* password,
                                        const std::function<bool(const unsigned char*, size_t)>& consume) {
  // The stored bytes come from minizip, or for an AES entry from the file itself, decrypted.
  const bool encrypted = IsEncrypted(info);
  AesEntry aes;
  int method = static_cast<int>(info.compression_method);
  uint64_t encryptedLeft = 0;
  if (encrypted) {
    problem_ = OpenAesEntry(unzip_.Get(), path_, info, password, aes);
    if (problem_ != EntryProblem::None) return false;
    problem_ = EntryProblem::Damaged;
    method = aes.extra.method;
    encryptedLeft = aes.dataSize;
  } else {
    int level = 0;
    if ((method != Z_DEFLATED && method != 0) || unzOpenCurrentFile2(unzip_.Get(), &method, &level, 1) != UNZ_OK)
      return false;
  }
  uint64_t position = aes.dataOffset;
  std::vector<unsigned char> input(kChunkSize), output(kChunkSize);
  bool readFailed = false;
  auto next = [&]() -> int {
    if (!encrypted) return unzReadCurrentFile(unzip_.Get(), input.data(), static_cast<unsigned>(input.size()));
    const size_t now = static_cast<size_t>(std::min<uint64_t>(input.size(), encryptedLeft));
    if (now > 0 && (!aes.file.ReadAt(position, input.data(), now) || !aes.cipher.Decrypt(input.data(), now))) {
      readFailed = true;
      return -1;
    }
    position += now;
    encryptedLeft -= now;
    return static_cast<int>(now);
  };
  // The entry's bytes as stored: inflated here, so that nothing beyond the size the central
  // directory declares is ever produced, whatever the data says.
  const bool deflated = method == Z_DEFLATED;
  Inflater inflater;
  bool ok = !deflated || inflater.Open();
  uint64_t total = 0;
  uint32_t crc = 0;
  bool ended = !deflated;
  auto take = [&](const unsigned char* data, size_t size) {
    if (size > info.uncompressed_size - total) return false;
    crc = libdeflate_crc32(crc, data, size);
    total += size;
    return size == 0 || consume(data, size);
  };
  while (ok) {
    const int got = next();
    if (got < 0) ok = false;
    if (!ok || got == 0 || (deflated && ended)) break;
    if (!deflated) {
      ok = take(input.data(), static_cast<size_t>(got));
      continue;
    }
    z_stream& z = inflater.stream;
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(got);
    do {
      // With the declared size reached, one byte of room tells whether the stream goes on.
      const uint64_t room = info.uncompressed_size - total;
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(std::max<uint64_t>(1, std::min<uint64_t>(output.size(), room)));
      const uInt offered = z.avail_out;
      const int result = inflate(&z, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) ok = false;
      ok = ok && take(output.data(), offered - z.avail_out);
      ended = result == Z_STREAM_END;
      if (result == Z_BUF_ERROR) break;
    } while (ok && !ended && (z.avail_in > 0 || z.avail_out == 0));
  }
  if (!encrypted) {
    const bool closed = unzCloseCurrentFile(unzip_.Get()) == UNZ_OK;
    return ok && ended && closed && total == info.uncompressed_size && crc == info.crc;
  }
  // The authentication code covers every encrypted byte, those after the deflate stream too.
  while (ok && encryptedLeft > 0) ok = next() > 0;
  unsigned char stored[kAesAuthCodeSize], computed[kAesAuthCodeSize];
  ok = ok && !readFailed && aes.file.ReadAt(position, stored, sizeof stored) && aes.cipher.Finish(computed) &&
       std::memcmp(stored, computed, sizeof stored) == 0;
  // AE-1 keeps the CRC as well; AE-2 leaves it 0.
  return ok && ended && total == info.uncompressed_size && (aes.extra.version != 1 || crc == info.crc);
}

bool BackupArchiveReader::GoToFirstEntry() { return unzip_ && unzGoToFirstFile(unzip_.Get()) == UNZ_OK; }

bool BackupArchiveReader::GoToNextEntry() { return unzip_ && unzGoToNextFile(unzip_.Get()) == UNZ_OK; }

bool BackupArchiveReader::CurrentEntryInfo(EntryInfo& entry) {
  if (!unzip_) return false;
  unz_file_info64 info{};
  std::vector<char> name(kLongestZipText + 1);
  if (unzGetCurrentFileInfo64(unzip_.Get(), &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                              0) != UNZ_OK)
    return false;
  // A name with a zero byte is shown up to it.
  const std::string bytes(name.data(), static_cast<size_t>(info.size_filename));
  const std::string shown = bytes.substr(0, bytes.find('\0'));
  DecodeEntryName(shown.data(), shown.size(), info.flag, entry.name);
  entry.size = info.uncompressed_size;
  entry.compressedSize = info.compressed_size;
  entry.dosTime = static_cast<uint32_t>(info.dosDate);
  return true;
}

bool BackupArchiveReader::CheckCurrentEntry() {
  return unzip_ && ReadCurrentEntry(hasPassword_ ? &password_ : nullptr, [](const unsigned char*, size_t) { return true; });
}

bool BackupArchiveReader::CurrentEntryEquals(const Text& path) {
  unz_file_info64 info{};
  if (!unzip_ || unzGetCurrentFileInfo64(unzip_.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  platform::File file;
  uint64_t size = 0;
  if (!file.Open(path, platform::FileMode::ReadShared) || !file.Size(&size) || size != info.uncompressed_size) {
    return false;
  }
  // The entry's own bytes, inflated piece by piece beside the file's: what the archive declares
  // (size, CRC) is only a claim about them.
  std::vector<unsigned char> theirs(kChunkSize);
  auto same = [&](const unsigned char* data, size_t length) {
    while (length > 0) {
      size_t got = 0;
      if (!file.Read(theirs.data(), std::min(length, theirs.size()), &got) || got == 0 ||
          std::memcmp(theirs.data(), data, got) != 0)
        return false;
      data += got;
      length -= got;
    }
    return true;
  };
  if (!ReadCurrentEntry(hasPassword_ ? &password_ : nullptr, same)) return false;
  // Nothing beyond: the file may have grown since its size was taken.
  unsigned char beyond = 0;
  size_t got = 0;
  return file.Read(&beyond, 1, &got) && got == 0;
}

}  // namespace kbt
