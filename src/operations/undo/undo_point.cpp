#include "operations/undo/undo_point.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "archive/directory_path.h"
#include "operations/client/client_places.h"
#include "operations/client/file_checks.h"
#include "operations/result_log.h"
#include "operations/undo/undo_record.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "regfile/key_path.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {
using namespace undo_record;

constexpr char16_t kRecordName[] = u"record";
constexpr char16_t kPendingRecordName[] = u"record.new";
constexpr char16_t kUnderWayName[] = u"underway";
constexpr size_t kSequenceDigits = 20;
// Reserving a name only fails this often when another run takes each one first.
constexpr int kReserveAttempts = 100;




// A key tree deleted for an undo keeps the tool's own branch when it lies inside it (the client's
// key itself, when the operation created it).
Status DeleteClientTree(const Text& path) {
  if (!IsClientKey(path)) return kAccessDenied;
  static const Text toolBranch = ParentKeyPath(names::kToolKey);
  if (!IsKeySameOrBelow(toolBranch, path)) return DeleteKeyTree(RegRoot::CurrentUser, path);
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
    children.push_back(KeyPathIn(path, Text(name.data(), length)));
  }
  key.Close();
  Status result = kSuccess;
  for (const Text& child : children) {
    if (IsToolKey(child)) continue;
    const Status deleted = DeleteKeyTree(RegRoot::CurrentUser, child);
    if (deleted != kSuccess && deleted != kFileNotFound) result = deleted;
  }
  bool allDeleted = true;
  // A key that went meanwhile has no values left either.
  if (DeleteAllValues(RegRoot::CurrentUser, path, &allDeleted) && !allDeleted) return kAccessDenied;
  return result;
}

// Reads a file whole through a buffer of fixed size, for its size and content hash; with 'copy'
// given, writes every piece there too.
bool HashFile(const Text& path, uint64_t* size, uint64_t* hash, platform::File* copy = nullptr) {
  platform::File in;
  if (!in.Open(path, FileMode::ReadShared)) return false;
  std::vector<uint8_t> buffer(kBufferSize);
  ContentHash content;
  uint64_t total = 0;
  for (size_t got = 0;; total += got) {
    if (!in.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    content.Add(buffer.data(), got);
    if (copy && !copy->Write(buffer.data(), got)) return false;
  }
  *size = total;
  *hash = content.Value();
  return true;
}

// A copy of its own, written through to the disk; a part of one is removed.
bool CopyFlushed(const Text& source, const Text& destination, uint64_t* size, uint64_t* hash) {
  platform::File out;
  if (!out.Open(destination, FileMode::CreateNew)) return false;
  const bool copied = HashFile(source, size, hash, &out) && out.Flush();
  if (out.Close() && copied) return true;
  static_cast<void>(RemoveFile(destination));  // the failure is the copy's, reported by the caller
  return false;
}

// The prior state of every planned change, written into one record.
class Recorder {
 public:
  Recorder(RecordWriter& out, const Text& point, Text& failedPath, std::vector<Text>& held, std::vector<Text>& kept)
      : out_(out), point_(point), failed_(failedPath), held_(held), kept_(kept) {}

  bool KeyTree(const Text& root) {
    out_.Record(kTreeTag);
    out_.Field(root);
    // Depth first with a stack of our own: the registry's depth never becomes ours.
    std::vector<Text> pending{root};
    while (!pending.empty()) {
      const Text path = std::move(pending.back());
      pending.pop_back();
      if (IsToolKey(path)) continue;  // never recorded, never put back
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
    if (opened != kSuccess) return Fail(KeyPathIn(keyPath, name));
    uint32_t type = 0, size = 0;
    Status status = QueryValue(key.Get(), name, &type, nullptr, &size);
    if (status == kFileNotFound) return Value(keyPath, name, false, 0, {}), true;
    std::vector<uint8_t> data(size);
    if (status == kSuccess && size > 0) status = QueryValue(key.Get(), name, &type, data.data(), &size);
    if (status != kSuccess || size != data.size()) return Fail(KeyPathIn(keyPath, name));
    Value(keyPath, name, true, type, data);
    return true;
  }

  void Folder(const Text& path) {
    out_.Record(kFolderTag);
    out_.Field(path);
    out_.Byte(IsExistingFolder(path) ? 1 : 0);
  }

  // The file's bytes are kept under a second name in the point: a hard link costs nothing and
  // survives the operation replacing or deleting the file. A file with another name elsewhere could
  // change through that name, and a link leads elsewhere: those are copied.
  bool File(const Text& path) {
    if (!IsExistingFile(path)) {
      out_.Record(kFileTag);
      out_.Field(path);
      out_.Byte(0);
      return true;
    }
    const Text blob = DecimalText(++blobs_);
    const Text kept = PathIn(point_, blob);
    FileIdentity identity;
    const bool alone = GetFileIdentity(path, &identity) && identity.links == 1 && !identity.isLink;
    uint64_t size = 0, hash = 0;
    if (!(alone ? LinkOrCopyFile(path, kept) && HashFile(kept, &size, &hash) : CopyFlushed(path, kept, &size, &hash))) {
      const Status error = LastError();
      // Held open by another program: the operation leaves it alone, so it needs no record.
      if (error == kSharingViolation || error == kLockViolation) return held_.push_back(path), true;
      return Fail(path);
    }
    kept_.push_back(kept);
    out_.Record(kKeptFileTag);
    out_.Field(path);
    out_.Field(blob);
    out_.Number64(size);
    out_.Number64(hash);
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
      children.push_back(KeyPathIn(path, Text(name.data(), length)));
    }
  }

  RecordWriter& out_;
  const Text& point_;
  Text& failed_;
  std::vector<Text>& held_;
  std::vector<Text>& kept_;
  uint64_t blobs_ = 0;
};

// The record goes first: a removal cut short leaves an incomplete point, never a damaged one.
bool RemovePointFolder(const Text& path) {
  // Each failure shows in the folder's removal at the end.
  static_cast<void>(RemoveFile(PathIn(path, kRecordName)));
  std::vector<Text> files;
  static_cast<void>(ListFileNames(path, files));
  for (const Text& file : files) static_cast<void>(RemoveFile(PathIn(path, file)));
  return RemoveEmptyFolder(path);
}

// Every folder of the form, complete or not, with its sequence.
std::vector<std::pair<uint64_t, Text>> PointFolders(const Text& folder) {
  std::vector<Text> names;
  std::vector<std::pair<uint64_t, Text>> points;
  if (!ListFolderNames(folder, names)) return points;
  for (const Text& name : names) {
    uint64_t sequence = 0;
    if (ParseUndoPointName(name, &sequence)) points.emplace_back(sequence, PathIn(folder, name));
  }
  std::sort(points.begin(), points.end());
  return points;
}

// Kept files are numbered; no other name may lead out of the point's folder.
bool IsBlobName(const Text& name) {
  return !name.empty() && name.size() < kSequenceDigits &&
         std::all_of(name.begin(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsComplete(const Text& point) { return IsExistingFile(PathIn(point, kRecordName)); }

// Why a kept file could not be put back, if it could not.
enum class PutBack { Done, Failed, KeptChanged, Link };

// A file is put back as a copy under a temporary name beside its place, and moved over it once the
// copy was found to hold the kept bytes: a kill leaves either the old or the recorded bytes, never a
// part, and the file shares nothing with the point afterwards. No link is followed, neither the
// kept name nor the place.
PutBack PutBackFile(const Text& blob, const Item& item) {
  FileIdentity kept, there;
  if (!GetFileIdentity(blob, &kept)) return PutBack::KeptChanged;
  if (kept.isLink) return PutBack::Link;
  const bool exists = GetFileIdentity(item.path, &there);
  if (exists && there.isLink) return PutBack::Link;
  // The operation never replaced it (it failed or was killed first): it holds what it held.
  if (exists && there.SameFileAs(kept)) return PutBack::Done;
  CreateDirectoryPath(FolderOf(item.path));
  Text temp;
  platform::File copy;
  if (!CreateTempFile(FolderOf(item.path), temp, copy)) return PutBack::Failed;
  uint64_t size = 0, hash = 0;
  const bool copied = HashFile(blob, &size, &hash, &copy) && copy.Flush();
  PutBack result = copy.Close() && copied ? PutBack::Done : PutBack::Failed;
  if (result == PutBack::Done && (size != item.size || (item.hashed && hash != item.hash))) result = PutBack::KeptChanged;
  if (result == PutBack::Done && MoveReplacing(temp, item.path)) return result;
  static_cast<void>(RemoveFile(temp));  // the copy that did not take the file's place
  return result == PutBack::Done ? PutBack::Failed : result;
}

}  // namespace

bool GetUndoFolder(Text& folder) {
  if (!GetToolFolder(folder)) return false;
  AppendPath(folder, names::kUndoFolder);
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
    const Text candidate = PathIn(folder, UndoPointName(++sequence));
    const Status made = MakeDirectory(candidate);
    if (made == kSuccess) path_ = candidate;
    if (made != kSuccess && made != kAlreadyExists) return false;
  }
  if (path_.empty()) return false;

  RecordWriter out;
  const Text pending = PathIn(path_, kPendingRecordName);
  if (!out.Open(pending)) return false;
  WriteHeader(out, {static_cast<uint32_t>(kind), sequence, UtcFileTimeNow(), subject});
  held_.clear();
  kept_.clear();
  Recorder record(out, path_, failedItem, held_, kept_);
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
  if (!out.Finish() || !underWay_.Open(PathIn(path_, kUnderWayName), FileMode::CreateNew) ||
      !MoveReplacingWrittenThrough(pending, PathIn(path_, kRecordName)))
    return false;
  complete_ = true;
  return true;
}

bool UndoPointWriter::Close() {
  if (path_.empty()) return true;
  // Kept bytes must not change with a file the operation left in place (it failed, or left the file
  // alone): a kept name that still shares them with a live file becomes a copy of its own, before
  // the mark goes. Should the copy fail, the kept name still is the file the operation never
  // replaced, and an undo leaves that file as it is.
  for (const Text& kept : kept_) {
    FileIdentity identity;
    if (!GetFileIdentity(kept, &identity) || identity.links <= 1) continue;
    const Text copy = kept + u".copy";
    uint64_t size = 0, hash = 0;
    if (CopyFlushed(kept, copy, &size, &hash) && MoveReplacing(copy, kept)) continue;
    static_cast<void>(RemoveFile(copy));  // see above: the undo still keeps its word
  }
  underWay_.Close();
  if (!RemoveFile(PathIn(path_, kUnderWayName))) return false;
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

bool UndoPoint::Open(const Text& path, const ClientPlaces& places) {
  path_ = path;
  changes_ = PlannedChanges();
  const Text record = PathIn(path, kRecordName);
  {
    RecordReader in;
    RecordHeader header;
    if (!in.Open(record) || !ReadHeader(in, header)) return false;
    if (header.kind < static_cast<uint32_t>(UndoKind::Restore) || header.kind > static_cast<uint32_t>(UndoKind::Undo)) {
      return false;
    }
    kind_ = static_cast<UndoKind>(header.kind);
    subject_ = header.subject;
  }
  // Whatever the record names must be the client's, each thing as the rule accepts its kind: an
  // edited record never leads an undo anywhere else. A kept file is checked when it is put back,
  // so that one changed file costs only itself.
  bool sound = true;
  const bool read = ForEachItem(record, [&](const Item& item) {
    switch (item.tag) {
      case kTreeTag: sound = sound && IsClientKey(item.path); changes_.AddKeyTree(item.path); break;
      case kAllValuesTag: sound = sound && IsClientKey(item.path); changes_.AddAllValues(item.path); break;
      case kKeyTag:
        sound = sound && IsClientKey(item.path);
        // A key the undo deletes is recorded whole by the undo's own point: what the client wrote
        // below it comes back with an undo of the undo.
        if (item.existed) {
          changes_.AddKey(item.path);
        } else {
          changes_.AddKeyTree(item.path);
        }
        break;
      case kValueTag: sound = sound && IsClientKey(item.path); changes_.AddValue(item.path, item.name); break;
      case kFolderTag: sound = sound && places.AcceptsFolder(item.path); changes_.AddFolder(item.path); break;
      case kFileTag:
        sound = sound && places.AcceptsRecordedFile(item.path) && (!item.existed || IsBlobName(item.blob));
        changes_.AddFile(item.path);
        break;
      default: sound = false; break;
    }
  });
  interrupted_ = WasInterrupted(path);
  return read && sound;
}

bool UndoPoint::Apply(ResultLog& log) const {
  const Text record = PathIn(path_, kRecordName);
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
              failed(KeyPathIn(item.path, item.name));
          } else {
            const Status opened = key.Open(RegRoot::CurrentUser, item.path, kKeyReadWrite);
            if (opened == kSuccess ? !gone(DeleteValue(key.Get(), item.name)) : !gone(opened)) {
              failed(KeyPathIn(item.path, item.name));
            }
          }
        } else if (item.tag == kFileTag) {
          if (item.existed) {
            switch (PutBackFile(PathIn(path_, item.blob), item)) {
              case PutBack::Done: break;
              case PutBack::Failed: failed(item.path); break;
              case PutBack::KeptChanged: log.Add(IDS_UNDO_KEPT_CHANGED, item.path); result = false; break;
              case PutBack::Link: log.Add(IDS_UNDO_LINK_REFUSED, item.path); result = false; break;
            }
          } else if (IsExistingFile(item.path) && !RemoveFile(item.path)) {
            failed(item.path);  // removing a link removes the link, never where it leads
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
    if (IsExistingFolder(folder)) static_cast<void>(RemoveEmptyFolder(folder));  // not empty: it stays
  }
  return result;
}

void UndoPoint::Remove(const Text& path) { RemovePointFolder(path); }

bool UndoPoint::MarkEnded(const Text& path) { return RemoveFile(PathIn(path, kUnderWayName)); }

bool UndoPoint::WasInterrupted(const Text& path) {
  // A running operation holds its mark open, and so no other run takes its work for a killed one's.
  const Text mark = PathIn(path, kUnderWayName);
  platform::File held;
  return IsExistingFile(mark) && held.Open(mark, FileMode::ReadExclusive);
}

}  // namespace kbt
