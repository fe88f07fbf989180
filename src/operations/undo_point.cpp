#include "operations/undo_point.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "archive/directory_path.h"
#include "operations/client_places.h"
#include "operations/file_checks.h"
#include "operations/result_log.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

constexpr char kMagic[8] = {'K', 'B', 'T', 'U', 'N', 'D', 'O', '1'};
constexpr char16_t kRecordName[] = u"record";
constexpr char16_t kPendingRecordName[] = u"record.new";
constexpr char16_t kUnderWayName[] = u"underway";
constexpr size_t kSequenceDigits = 20;
// Reserving a name only fails this often when another run takes each one first.
constexpr int kReserveAttempts = 100;
constexpr size_t kBufferSize = size_t{1} << 16;

enum Tag : uint8_t {
  kHeaderTag = 'H',
  kTreeTag = 'T',       // the key tree is exactly what the key and value records under it say
  kAllValuesTag = 'A',  // the key's values are exactly what its value records say
  kKeyTag = 'K',
  kValueTag = 'V',
  kFolderTag = 'D',
  kFileTag = 'F',
  kEndTag = 'E'
};

Text Join(const Text& folder, const Text& name) {
  Text path = folder;
  AppendPath(path, name);
  return path;
}

Text FolderOf(const Text& path) {
  Text folder = path;
  RemoveLastComponent(folder);
  return folder;
}

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

class RecordWriter {
 public:
  bool Open(const Text& path) {
    if (!file_.Open(path, FileMode::CreateNew)) return false;
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

  File file_;
  std::vector<uint8_t> buffer_;
  Checksum checksum_;
  uint64_t records_ = 0;
  bool ok_ = true;
};

class RecordReader {
 public:
  bool Open(const Text& path) {
    uint8_t magic[sizeof kMagic];
    if (!file_.Open(path, FileMode::ReadShared) || !file_.Size(&left_)) return false;
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
    if (!Number32(length) || length > kLongestPath || uint64_t{length} * 2 > Left()) return false;
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

  File file_;
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
};

bool ReadItem(RecordReader& in, Item& item) {
  uint8_t tag = 0;
  if (!in.Byte(tag)) return false;
  item.tag = static_cast<Tag>(tag);
  uint8_t existed = 0;
  switch (item.tag) {
    case kTreeTag:
    case kAllValuesTag: return in.Field(item.path);
    case kKeyTag:
    case kFolderTag:
      if (!in.Field(item.path) || !in.Byte(existed)) return false;
      item.existed = existed != 0;
      return true;
    case kValueTag:
      if (!in.Field(item.path) || !in.Field(item.name) || !in.Byte(existed) || !in.Number32(item.type) ||
          !in.Field(item.data))
        return false;
      item.existed = existed != 0;
      return true;
    case kFileTag:
      if (!in.Field(item.path) || !in.Byte(existed)) return false;
      item.existed = existed != 0;
      return !item.existed || (in.Field(item.blob) && in.Number64(item.size));
    default: return false;  // the header comes only first, the end is read by its caller
  }
}

// Calls 'each' with every record after the header; false when the record cannot be read whole.
bool ForEachItem(const Text& recordPath, const std::function<void(const Item&)>& each) {
  RecordReader in;
  uint8_t tag = 0;
  uint32_t kind = 0;
  uint64_t sequence = 0, created = 0;
  Text subject;
  if (!in.Open(recordPath) || !in.Byte(tag) || tag != kHeaderTag || !in.Number32(kind) || !in.Number64(sequence) ||
      !in.Number64(created) || !in.Field(subject))
    return false;
  uint64_t records = 1;
  for (;;) {
    if (in.Left() > 0 && in.Left() <= 17) break;  // exactly the end record is left
    Item item;
    if (!ReadItem(in, item)) return false;
    ++records;
    each(item);
  }
  uint8_t end = 0;
  uint64_t counted = 0, sum = 0;
  if (!in.Byte(end) || end != kEndTag || !in.Number64(counted)) return false;
  const uint64_t expected = in.SumSoFar();
  return in.Number64(sum) && sum == expected && counted == records && in.Left() == 0;
}

bool IsBelowOrSame(const Text& path, const Text& base) {
  return StartsWithIgnoreAsciiCase(path, base) && (path.size() == base.size() || path[base.size()] == u'\\');
}

// The tool's own branch is never recorded and never changed by an undo.
const Text& ToolBranch() {
  static const Text branch = FolderOf(names::kToolKey);  // "Software\Kestrove\Backup"
  return branch;
}

bool IsClientKey(const Text& path) {
  return IsBelowOrSame(path, names::kClientKey) && !IsBelowOrSame(path, ToolBranch());
}

// A key tree deleted for an undo keeps the tool's own branch when it lies inside it (the client's
// key itself, when the operation created it).
Status DeleteClientTree(const Text& path) {
  if (!IsBelowOrSame(ToolBranch(), path)) return DeleteKeyTree(RegRoot::CurrentUser, path);
  RegistryKey key;
  const Status opened = key.Open(RegRoot::CurrentUser, path, kKeyRead);
  if (opened != kSuccess) return opened;
  std::vector<Text> children;
  std::vector<char16_t> name(256);  // the registry's longest key name is 255 characters
  for (uint32_t index = 0;; ++index) {
    uint32_t length = static_cast<uint32_t>(name.size());
    const Status status = EnumerateKey(key.Get(), index, name.data(), &length);
    if (status == kNoMoreItems) break;
    if (status != kSuccess) return status;
    children.push_back(Join(path, Text(name.data(), length)));
  }
  key.Close();
  Status result = kSuccess;
  for (const Text& child : children) {
    if (IsBelowOrSame(ToolBranch(), child)) continue;
    const Status deleted = DeleteKeyTree(RegRoot::CurrentUser, child);
    if (deleted != kSuccess && deleted != kFileNotFound) result = deleted;
  }
  bool allDeleted = true;
  // A key that went meanwhile has no values left either.
  if (DeleteAllValues(RegRoot::CurrentUser, path, &allDeleted) && !allDeleted) return kAccessDenied;
  return result;
}

// The prior state of every planned change, written into one record.
class Recorder {
 public:
  Recorder(RecordWriter& out, const Text& point, Text& failedPath) : out_(out), point_(point), failed_(failedPath) {}

  bool KeyTree(const Text& root) {
    out_.Record(kTreeTag);
    out_.Field(root);
    // Depth first with a stack of our own: the registry's depth never becomes ours.
    std::vector<Text> pending{root};
    while (!pending.empty()) {
      const Text path = std::move(pending.back());
      pending.pop_back();
      RegistryKey key;
      const Status opened = key.Open(RegRoot::CurrentUser, path, kKeyRead);
      if (opened == kFileNotFound) continue;  // absent: the tree record alone says so
      if (opened != kSuccess) return Fail(path);
      Key(path, true);
      if (!ValuesOf(key, path)) return Fail(path);
      std::vector<Text> children;
      if (!SubKeys(key, path, children)) return Fail(path);
      pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return true;
  }

  bool AllValues(const Text& path) {
    out_.Record(kAllValuesTag);
    out_.Field(path);
    RegistryKey key;
    const Status opened = key.Open(RegRoot::CurrentUser, path, kKeyRead);
    if (opened == kFileNotFound) return true;
    return (opened == kSuccess && ValuesOf(key, path)) || Fail(path);
  }

  bool KeyState(const Text& path) {
    RegistryKey key;
    const Status opened = key.Open(RegRoot::CurrentUser, path, kKeyRead);
    if (opened != kSuccess && opened != kFileNotFound) return Fail(path);
    Key(path, opened == kSuccess);
    return true;
  }

  bool ValueState(const Text& keyPath, const Text& name) {
    RegistryKey key;
    const Status opened = key.Open(RegRoot::CurrentUser, keyPath, kKeyRead);
    if (opened == kFileNotFound) return Value(keyPath, name, false, 0, {}), true;
    if (opened != kSuccess) return Fail(Join(keyPath, name));
    uint32_t type = 0, size = 0;
    Status status = QueryValue(key.Get(), name, &type, nullptr, &size);
    if (status == kFileNotFound) return Value(keyPath, name, false, 0, {}), true;
    std::vector<uint8_t> data(size);
    if (status == kSuccess && size > 0) status = QueryValue(key.Get(), name, &type, data.data(), &size);
    if (status != kSuccess || size != data.size()) return Fail(Join(keyPath, name));
    Value(keyPath, name, true, type, data);
    return true;
  }

  void Folder(const Text& path) {
    out_.Record(kFolderTag);
    out_.Field(path);
    out_.Byte(IsExistingFolder(path) ? 1 : 0);
  }

  // The file's bytes are kept under a second name in the point: a hard link costs nothing and
  // survives the operation replacing or deleting the file.
  bool File(const Text& path) {
    out_.Record(kFileTag);
    out_.Field(path);
    if (!IsExistingFile(path)) {
      out_.Byte(0);
      return true;
    }
    const Text blob = DecimalText(++blobs_);
    const Text kept = Join(point_, blob);
    platform::File copy;
    uint64_t size = 0;
    if (!LinkOrCopyFile(path, kept) || !copy.Open(kept, FileMode::ReadShared) || !copy.Size(&size)) return Fail(path);
    out_.Byte(1);
    out_.Field(blob);
    out_.Number64(size);
    return true;
  }

 private:
  bool Fail(const Text& what) {
    failed_ = what;
    return false;
  }

  void Key(const Text& path, bool existed) {
    out_.Record(kKeyTag);
    out_.Field(path);
    out_.Byte(existed ? 1 : 0);
  }

  void Value(const Text& key, const Text& name, bool existed, uint32_t type, const std::vector<uint8_t>& data) {
    out_.Record(kValueTag);
    out_.Field(key);
    out_.Field(name);
    out_.Byte(existed ? 1 : 0);
    out_.Number32(type);
    out_.Field(data);
  }

  bool ValuesOf(const RegistryKey& key, const Text& path) {
    KeyInfo info;
    if (QueryKeyInfo(key.Get(), &info) != kSuccess) return false;
    std::vector<char16_t> name(size_t{info.maxValueNameLength} + 1);
    std::vector<uint8_t> data(std::max<uint32_t>(info.maxValueDataSize, 1));
    for (uint32_t index = 0;; ++index) {
      uint32_t nameLength = static_cast<uint32_t>(name.size()), type = 0, size = static_cast<uint32_t>(data.size());
      const Status status = EnumerateValue(key.Get(), index, name.data(), &nameLength, &type, data.data(), &size);
      if (status == kNoMoreItems) return true;
      if (status != kSuccess) return false;
      Value(path, Text(name.data(), nameLength), true, type, std::vector<uint8_t>(data.begin(), data.begin() + size));
    }
  }

  static bool SubKeys(const RegistryKey& key, const Text& path, std::vector<Text>& children) {
    KeyInfo info;
    if (QueryKeyInfo(key.Get(), &info) != kSuccess) return false;
    std::vector<char16_t> name(size_t{info.maxSubKeyLength} + 1);
    for (uint32_t index = 0;; ++index) {
      uint32_t length = static_cast<uint32_t>(name.size());
      const Status status = EnumerateKey(key.Get(), index, name.data(), &length);
      if (status == kNoMoreItems) return true;
      if (status != kSuccess) return false;
      children.push_back(Join(path, Text(name.data(), length)));
    }
  }

  RecordWriter& out_;
  const Text& point_;
  Text& failed_;
  uint64_t blobs_ = 0;
};

// The record goes first: a removal cut short leaves an incomplete point, never a damaged one.
bool RemovePointFolder(const Text& path) {
  RemoveFile(Join(path, kRecordName));
  std::vector<Text> files;
  ListFileNames(path, files);
  for (const Text& file : files) RemoveFile(Join(path, file));
  return RemoveEmptyFolder(path);
}

// Every folder of the form, complete or not, with its sequence.
std::vector<std::pair<uint64_t, Text>> PointFolders(const Text& folder) {
  std::vector<Text> names;
  std::vector<std::pair<uint64_t, Text>> points;
  if (!ListFolderNames(folder, names)) return points;
  for (const Text& name : names) {
    uint64_t sequence = 0;
    if (ParseUndoPointName(name, &sequence)) points.emplace_back(sequence, Join(folder, name));
  }
  std::sort(points.begin(), points.end());
  return points;
}

// Kept files are numbered; no other name may lead out of the point's folder.
bool IsBlobName(const Text& name) {
  return !name.empty() && name.size() < kSequenceDigits &&
         std::all_of(name.begin(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsComplete(const Text& point) { return IsExistingFile(Join(point, kRecordName)); }

// A file is put back under a temporary name beside its place first, then moved over it: a kill
// leaves either the old or the recorded bytes, never a part.
bool PutBackFile(const Text& blob, const Text& path) {
  const Text folder = FolderOf(path);
  CreateDirectoryPath(folder);
  Text temp;
  platform::File placeholder;
  if (!CreateTempFile(folder, temp, placeholder) || !placeholder.Close() || !RemoveFile(temp)) return false;
  const bool moved = LinkOrCopyFile(blob, temp) && MoveReplacing(temp, path);
  // Moving a name over another name of the same file leaves both: the temporary one goes.
  RemoveFile(temp);
  return moved;
}

}  // namespace

bool GetUndoFolder(Text& folder) {
  if (!GetLocalAppDataFolder(folder) || folder.empty()) return false;
  for (const char16_t* part : names::kUndoFolderParts) AppendPath(folder, part);
  return true;
}

Text UndoPointName(uint64_t sequence) {
  Text name(kSequenceDigits, u'0');
  for (size_t i = kSequenceDigits; i > 0 && sequence > 0; --i, sequence /= 10) {
    name[i - 1] = static_cast<char16_t>(u'0' + sequence % 10);
  }
  return name;
}

bool ParseUndoPointName(const Text& name, uint64_t* sequence) {
  if (name.size() != kSequenceDigits) return false;
  uint64_t value = 0;
  for (char16_t c : name) {
    if (c < u'0' || c > u'9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - u'0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *sequence = value;
  return true;
}

std::vector<Text> ListUndoPoints(const Text& folder) {
  std::vector<Text> complete;
  for (const auto& [sequence, path] : PointFolders(folder)) {
    if (IsComplete(path)) complete.push_back(path);
  }
  return complete;
}

UndoPointWriter::~UndoPointWriter() {
  if (!path_.empty() && !complete_) Discard();
}

bool UndoPointWriter::Write(const Text& folder, UndoKind kind, const Text& subject, const PlannedChanges& changes,
                            Text& failedItem) {
  failedItem.clear();
  CreateDirectoryPath(folder);
  const std::vector<std::pair<uint64_t, Text>> existing = PointFolders(folder);
  uint64_t sequence = existing.empty() ? 0 : existing.back().first;
  for (int attempt = 0; attempt < kReserveAttempts && path_.empty(); ++attempt) {
    if (sequence == UINT64_MAX) return false;
    const Text candidate = Join(folder, UndoPointName(++sequence));
    const Status made = MakeDirectory(candidate);
    if (made == kSuccess) path_ = candidate;
    if (made != kSuccess && made != kAlreadyExists) return false;
  }
  if (path_.empty()) return false;

  RecordWriter out;
  const Text pending = Join(path_, kPendingRecordName);
  if (!out.Open(pending)) return false;
  out.Record(kHeaderTag);
  out.Number32(static_cast<uint32_t>(kind));
  out.Number64(sequence);
  out.Number64(UtcFileTimeNow());
  out.Field(subject);
  Recorder record(out, path_, failedItem);
  for (const Text& tree : changes.KeyTrees()) {
    if (!record.KeyTree(tree)) return false;
  }
  for (const Text& key : changes.AllValues()) {
    if (!record.AllValues(key)) return false;
  }
  for (const Text& key : changes.Keys()) {
    if (!record.KeyState(key)) return false;
  }
  for (const auto& [key, name] : changes.Values()) {
    if (!record.ValueState(key, name)) return false;
  }
  for (const Text& folderPath : changes.Folders()) record.Folder(folderPath);
  for (const Text& file : changes.Files()) {
    if (!record.File(file)) return false;
  }
  // The mark is held open while the operation runs; the rename then makes the point complete.
  if (!out.Finish() || !underWay_.Open(Join(path_, kUnderWayName), FileMode::CreateNew) || !underWay_.Flush() ||
      !MoveReplacing(pending, Join(path_, kRecordName)))
    return false;
  complete_ = true;
  return true;
}

bool UndoPointWriter::Close() {
  if (path_.empty()) return true;
  underWay_.Close();
  if (!RemoveFile(Join(path_, kUnderWayName))) return false;
  const Text closed = std::exchange(path_, Text());
  complete_ = false;
  const std::vector<std::pair<uint64_t, Text>> points = PointFolders(FolderOf(closed));
  size_t complete = 0;
  for (const auto& point : points) complete += IsComplete(point.second) ? 1 : 0;
  for (const auto& [sequence, point] : points) {
    if (point == closed) break;
    // What a killed run left unfinished, and the oldest complete ones beyond ten.
    if (!IsComplete(point)) {
      RemovePointFolder(point);
    } else if (complete > kUndoPointsKept) {
      RemovePointFolder(point);
      --complete;
    }
  }
  return true;
}

void UndoPointWriter::Discard() {
  if (path_.empty()) return;
  underWay_.Close();
  RemovePointFolder(path_);
  path_.clear();
  complete_ = false;
}

bool UndoPoint::Open(const Text& path) {
  path_ = path;
  changes_ = PlannedChanges();
  const Text record = Join(path, kRecordName);
  {
    RecordReader in;
    uint8_t tag = 0;
    uint32_t kind = 0;
    uint64_t sequence = 0, created = 0;
    if (!in.Open(record) || !in.Byte(tag) || tag != kHeaderTag || !in.Number32(kind) || !in.Number64(sequence) ||
        !in.Number64(created) || !in.Field(subject_))
      return false;
    if (kind < static_cast<uint32_t>(UndoKind::Restore) || kind > static_cast<uint32_t>(UndoKind::Undo)) return false;
    kind_ = static_cast<UndoKind>(kind);
  }
  // Whatever the record names must lie among the client's keys and places, and every kept file be there whole.
  const ClientPlaces places{Text()};
  bool sound = true;
  const bool read = ForEachItem(record, [&](const Item& item) {
    switch (item.tag) {
      case kTreeTag: sound = sound && IsClientKey(item.path); changes_.AddKeyTree(item.path); break;
      case kAllValuesTag: sound = sound && IsClientKey(item.path); changes_.AddAllValues(item.path); break;
      case kKeyTag: sound = sound && IsClientKey(item.path); changes_.AddKey(item.path); break;
      case kValueTag: sound = sound && IsClientKey(item.path); changes_.AddValue(item.path, item.name); break;
      case kFolderTag: sound = sound && places.AcceptsFolder(item.path); changes_.AddFolder(item.path); break;
      case kFileTag: {
        sound = sound && places.AcceptsFolder(FolderOf(item.path)) && !HasExecutableExtension(FileNamePart(item.path));
        if (item.existed) {
          uint64_t size = 0;
          platform::File kept;
          sound = sound && IsBlobName(item.blob) && kept.Open(Join(path, item.blob), FileMode::ReadShared) &&
                  kept.Size(&size) && size == item.size;
        }
        changes_.AddFile(item.path);
        break;
      }
      default: sound = false; break;
    }
  });
  // A running operation holds its mark open, and so no other run takes its work for a killed one's.
  platform::File mark;
  interrupted_ = IsExistingFile(Join(path, kUnderWayName)) && mark.Open(Join(path, kUnderWayName), FileMode::ReadExclusive);
  return read && sound;
}

bool UndoPoint::Apply(ResultLog& log) const {
  const Text record = Join(path_, kRecordName);
  bool result = true;
  auto failed = [&](const Text& what) {
    log.Add(IDS_UNDO_ITEM_FAILED, what);
    result = false;
  };
  auto gone = [](Status status) { return status == kSuccess || status == kFileNotFound; };
  // Deletions of whole trees and value sets first, creations of keys and folders next, then every
  // value and file, and last the keys and folders that did not exist: each pass reads the record anew.
  std::vector<Text> absentFolders;
  const std::function<void(const Item&)> passes[] = {
      [&](const Item& item) {
        if (item.tag == kTreeTag && !gone(DeleteClientTree(item.path))) failed(item.path);
        bool all = true;
        // A missing key holds no values: as the record wants it.
        if (item.tag == kAllValuesTag && DeleteAllValues(RegRoot::CurrentUser, item.path, &all) && !all) {
          failed(item.path);
        }
      },
      [&](const Item& item) {
        if (!item.existed) return;
        if (item.tag == kKeyTag) {
          RegistryKey key;
          if (key.Create(RegRoot::CurrentUser, item.path, kKeyWrite) != kSuccess) failed(item.path);
        } else if (item.tag == kFolderTag && CreateDirectoryPath(item.path) != kSuccess &&
                   !IsExistingFolder(item.path)) {
          failed(item.path);
        }
      },
      [&](const Item& item) {
        if (item.tag == kValueTag) {
          RegistryKey key;
          static const uint8_t kEmpty = 0;
          if (item.existed) {
            if (key.Create(RegRoot::CurrentUser, item.path, kKeyWrite) != kSuccess ||
                SetValue(key.Get(), item.name, item.type, item.data.empty() ? &kEmpty : item.data.data(),
                         static_cast<uint32_t>(item.data.size())) != kSuccess)
              failed(Join(item.path, item.name));
          } else {
            const Status opened = key.Open(RegRoot::CurrentUser, item.path, kKeyReadWrite);
            if (opened == kSuccess ? !gone(DeleteValue(key.Get(), item.name)) : !gone(opened)) {
              failed(Join(item.path, item.name));
            }
          }
        } else if (item.tag == kFileTag) {
          if (item.existed) {
            if (!PutBackFile(Join(path_, item.blob), item.path)) failed(item.path);
          } else if (IsExistingFile(item.path) && !RemoveFile(item.path)) {
            failed(item.path);
          }
        }
      },
      [&](const Item& item) {
        if (item.existed) return;
        if (item.tag == kKeyTag && !gone(DeleteClientTree(item.path))) failed(item.path);
        if (item.tag == kFolderTag) absentFolders.push_back(item.path);
      }};
  for (const auto& pass : passes) {
    if (!ForEachItem(record, pass)) {
      log.Add(IDS_UNDO_POINT_UNUSABLE, path_);
      return false;
    }
  }
  // Deepest first; a folder that holds something now (the client's own new files) stays.
  std::sort(absentFolders.begin(), absentFolders.end(),
            [](const Text& a, const Text& b) { return a.size() > b.size(); });
  for (const Text& folder : absentFolders) {
    if (IsExistingFolder(folder)) RemoveEmptyFolder(folder);
  }
  return result;
}

void UndoPoint::Remove(const Text& path) { RemovePointFolder(path); }

}  // namespace kbt
