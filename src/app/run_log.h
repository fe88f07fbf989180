#pragma once
// The record each unattended run leaves: a text file of records, newest last, kept to a bounded size.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kbt {

// Beyond this the oldest records go, until at most half of it is left before the new one.
constexpr uint64_t kRunLogLimit = 1024 * 1024;

struct RunRecord {
  platform::LocalTime time;
  Text commandLine;
  int exitCode = 0;
  std::vector<Text> messages;
};

// "<local application data>\Kestrove\Backup Tool\BackupTool.log"; false when there is no such folder.
[[nodiscard]] bool GetDefaultRunLogPath(Text& path);

// One record in UTF-8: a line with the time, the exit code and the command line, then one line
// for each message, indented by a tab. Control characters inside a field become blanks, so a line
// that does not start with a tab always starts a record.
std::string FormatRunRecord(const RunRecord& record);

// Adds the record at the end of the log, creating its folder and the file where missing. The new
// log is written beside the old one and moved over it, so a crash leaves one or the other whole.
// When the log would grow beyond `limit`, whole records are dropped from its start until at most
// half of the limit remains of them; the new record is always kept. 0, or the system's error.
[[nodiscard]] platform::Status AppendRunRecord(const Text& logPath, const std::string& record, uint64_t limit = kRunLogLimit);

}  // namespace kbt
