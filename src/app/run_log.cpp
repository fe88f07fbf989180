#include "app/run_log.h"

#include <cstdio>

#include "archive/directory_path.h"
#include "operations/client/client_places.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace kbt {
using namespace platform;

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kReadChunk = 64 * 1024;
constexpr Status kGeneralFailure = 31;

// The system's error of what just failed; never 0, which would read as success.
Status Failed() {
  const Status why = LastError();
  return why != 0 ? why : kGeneralFailure;
}

std::string Field(const Text& text) {
  Text clean = text;
  for (char16_t& c : clean) {
    if (c < u' ' || c == u'\x7F') c = u' ';
  }
  return ToUtf8(clean);
}

// The last `keep` bytes of the log (all of it when smaller), without a byte order mark; a missing
// log reads as empty. Reads in chunks, so the log's size never picks the memory used.
bool ReadTail(const Text& path, size_t keep, std::string& tail, bool& cut) {
  tail.clear();
  cut = false;
  File file;
  if (!file.Open(path, FileMode::ReadShared)) {
    const Status why = LastError();
    return why == kFileNotFound || why == kPathNotFound;
  }
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    size_t got = 0;
    if (!file.Read(&chunk[0], chunk.size(), &got)) return false;
    if (got == 0) break;
    tail.append(chunk, 0, got);
    if (tail.size() > 2 * keep) {
      tail.erase(0, tail.size() - keep);
      cut = true;
    }
  }
  if (tail.size() > keep) {
    tail.erase(0, tail.size() - keep);
    cut = true;
  }
  if (!cut && tail.compare(0, 3, kByteOrderMark) == 0) tail.erase(0, 3);
  return true;
}

// Drops the bytes before the first whole record: a cut lands inside one.
void StartAtRecord(std::string& tail) {
  size_t at = 0;
  for (;;) {
    const size_t newline = tail.find('\n', at);
    if (newline == std::string::npos) {
      tail.clear();
      return;
    }
    at = newline + 1;
    if (at < tail.size() && tail[at] != '\t') break;
  }
  tail.erase(0, at);
}

}  // namespace

bool GetDefaultRunLogPath(Text& path) {
  Text folder;
  if (!GetToolFolder(folder)) return false;
  path = PathIn(folder, u"BackupTool.log");
  return true;
}

std::string FormatRunRecord(const RunRecord& record) {
  char stamp[80] = {};
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u\texit %d\t", record.time.year, record.time.month,
                record.time.day, record.time.hour, record.time.minute, record.time.second, record.exitCode);
  std::string text = stamp + Field(record.commandLine) + "\r\n";
  for (const Text& message : record.messages) text += "\t" + Field(message) + "\r\n";
  return text;
}

Status AppendRunRecord(const Text& logPath, const std::string& record, uint64_t limit) {
  Text path = logPath;
  if (IsRelativePath(path)) {
    Text current;
    if (!GetCurrentFolder(current)) return Failed();
    path = PathIn(current, path);
  }
  const Text folder = FolderOf(path);
  const Status made = CreateDirectoryPath(folder);
  if (made != 0 && made != kAlreadyExists) return made;

  const uint64_t room = record.size() < limit ? limit - record.size() : 0;
  std::string kept;
  bool cut = false;
  if (!ReadTail(path, static_cast<size_t>(limit), kept, cut)) return Failed();
  if (kept.size() > room) {
    kept.erase(0, kept.size() - static_cast<size_t>(limit / 2 < room ? limit / 2 : room));
    cut = true;
  }
  if (cut) StartAtRecord(kept);

  Text pendingPath;
  File pending;
  if (!CreateTempFile(folder, pendingPath, pending)) return Failed();
  Status failure = 0;
  if (!pending.Write(kByteOrderMark, 3) || !pending.Write(kept.data(), kept.size()) ||
      !pending.Write(record.data(), record.size()) || !pending.Flush()) {
    failure = Failed();
  }
  if (!pending.Close() && failure == 0) failure = Failed();
  if (failure == 0 && !MoveReplacingWrittenThrough(pendingPath, path)) failure = Failed();
  if (failure != 0) static_cast<void>(RemoveFile(pendingPath));
  return failure;
}

}  // namespace kbt
