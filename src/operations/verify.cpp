#include "operations/verify.h"

#include <map>
#include <set>
#include <string>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/restore_plan.h"
#include "operations/settings_limit_text.h"
#include "operations/result_log.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "regfile/settings_file_reader.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

// A message box shows the first problems; the report has them all.
constexpr size_t kProblemsInSummary = 10;

Text LowerCase(Text text) {
  for (char16_t& c : text) c = LowerAscii(c);
  return text;
}

// A field never breaks the line format: control characters (tab, CR, LF) become blanks.
Text Field(Text text) {
  for (char16_t& c : text) {
    if (c < u' ') c = u' ';
  }
  return text;
}

class Report {
 public:
  explicit Report(VerifyReport& report) : report_(report) {}

  void Line(const char16_t* keyword, std::initializer_list<Text> fields) {
    Text line = keyword;
    for (const Text& field : fields) line += u'\t' + Field(field);
    report_.lines.push_back(std::move(line));
  }

  template <typename... Args>
  void Problem(const TextRef& message, const Args&... arguments) {
    Text problem = FormatText(message.Resolve(), {Text(arguments)...});
    Line(u"problem", {problem});
    report_.problems.push_back(std::move(problem));
  }

 private:
  VerifyReport& report_;
};

// The values a settings file would write, counted by key, and the ones a restore reads back to
// place the bitmaps and the queue.
class SettingsTally : public SettingsFileObserver {
 public:
  explicit SettingsTally(RestoreValues& values) : values_(values) {}

  void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) override {
    ++values;
    ++keys[LowerCase(keyPath)].second;
    const std::pair<const char16_t*, std::optional<Text>*> named[] = {
        {names::kListviewBitmapValue, &values_.listviewBitmap},
        {names::kTreeviewBitmapValue, &values_.treeviewBitmap},
        {names::kToolbarBitmapValue, &values_.toolbarBitmap}};
    const Text display(names::kDisplayKey), queue(names::kQueueKey);
    if (EqualsIgnoreAsciiCase(keyPath, display)) {
      for (const auto& [valueName, into] : named) {
        if (EqualsIgnoreAsciiCase(name, valueName)) *into = StringOf(type, data);
      }
    } else if (EqualsIgnoreAsciiCase(keyPath, queue) && EqualsIgnoreAsciiCase(name, names::kLastFileValue)) {
      values_.queue = StringOf(type, data);
    }
  }

  void Key(const Text& keyPath) override {
    auto& key = keys[LowerCase(keyPath)];
    if (key.first.empty()) key.first = keyPath;
  }

  void IgnoredSection(std::u16string_view section) override { ignored.emplace_back(section); }

  size_t values = 0;
  std::map<Text, std::pair<Text, size_t>> keys;  // by lower-case path: as first spelled, values
  std::vector<Text> ignored;

 private:
  // As the restore reads the value back: only a string, up to its first NUL.
  static std::optional<Text> StringOf(uint32_t type, const std::vector<uint8_t>& data) {
    if ((type != kRegSz && type != kRegExpandSz) || data.size() % 2 != 0) return std::nullopt;
    Text text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (c == 0) break;
      text += c;
    }
    return text;
  }

  RestoreValues& values_;
};

// Every entry read to its end; names that a restore could confuse are problems.
bool CheckEntries(BackupArchiveReader& archive, Report& report, VerifyReport& result) {
  bool whole = true;
  std::set<Text> seen, collided;
  // The walk below ends on the first unreadable header as on the last one; the restore refuses such an archive.
  if (!archive.CheckDirectory()) {
    report.Problem(IDS_RESTORE_ARCHIVE_DAMAGED);
    return false;
  }
  for (bool more = archive.GoToFirstEntry(); more; more = archive.GoToNextEntry()) {
    BackupArchiveReader::EntryInfo info;
    if (!archive.CurrentEntryInfo(info)) {
      report.Problem(IDS_RESTORE_ARCHIVE_DAMAGED);
      return false;
    }
    ++result.entries;
    const bool good = archive.CheckCurrentEntry();
    report.Line(u"entry", {info.name, DecimalText(info.size), good ? u"ok" : u"damaged"});
    if (!good) {
      report.Problem(IDS_VERIFY_ENTRY_DAMAGED, info.name);
      whole = false;
    }
    const Text folded = LowerCase(info.name);
    if (!seen.insert(folded).second && collided.insert(folded).second) {
      report.Problem(IDS_VERIFY_ENTRIES_COLLIDE, info.name);
    }
  }
  return whole;
}

// Reads the settings entry as the restore would import it; false when it cannot be read whole.
bool CheckSettings(BackupArchiveReader& archive, Report& report, VerifyReport& result, RestoreValues& values) {
  if (!archive.LocateEntry(names::kSettingsFile, false)) {
    report.Line(u"settings", {u"0", u"0"});
    return true;  // a data-only backup
  }
  Text folder, path;
  bool read = false;
  SettingsTally tally(values);
  SettingsLimit exceeded = SettingsLimit::None;
  SettingsFileProblem problem;
  BackupArchiveReader::EntryInfo entry;
  File placeholder;
  if (archive.CurrentEntryInfo(entry) && entry.size > kSettingsLimits.fileBytes) {
    exceeded = SettingsLimit::FileSize;  // never extracted, as the restore would not
  } else if (GetTempFolder(folder) && CreateTempFile(folder, path, placeholder) && placeholder.Close()) {
    read = archive.ExtractCurrentEntry(path) && CheckSettingsFile(path, tally, &exceeded, &problem);
    RemoveFile(path);
  }
  if (exceeded != SettingsLimit::None || problem.kind != SettingsProblemKind::None) {
    // Readable, but a restore would apply none of it.
    report.Problem(exceeded != SettingsLimit::None ? SettingsLimitText(exceeded) : SettingsProblemText(problem));
    return true;
  }
  if (!read) {
    report.Problem(IDS_VERIFY_SETTINGS_UNREADABLE, Text(names::kSettingsFile));
    return false;
  }
  result.values = tally.values;
  result.keys = tally.keys.size();
  report.Line(u"settings", {DecimalText(tally.values), DecimalText(tally.keys.size())});
  for (const auto& [folded, key] : tally.keys) {
    report.Line(u"key", {Text(names::kRootCurrentUser) + u'\\' + key.first, DecimalText(key.second)});
  }
  for (const Text& section : tally.ignored) report.Line(u"ignored", {section});
  return true;
}

}  // namespace

VerifyReport VerifyArchive(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder) {
  VerifyReport result;
  Report report(result);
  report.Line(u"archive", {archivePath});
  auto finish = [&]() -> VerifyReport {
    result.restorable = result.state == ArchiveState::Sound && result.problems.empty();
    report.Line(u"result", {result.restorable ? u"ok" : u"failed"});
    return std::move(result);
  };

  BackupIdentity identity;
  BackupArchiveReader archive;
  if (archivePath.empty() || !archive.Open(archivePath)) {
    report.Problem(IDS_ARCHIVE_OPEN_FAILED, archivePath);
    return finish();
  }
  if (!ReadBackupIdentity(archivePath, identity)) {
    report.Problem(IDS_NOT_A_BACKUP, archivePath);
    return finish();
  }
  result.comment = identity.comment;
  result.created = identity.created;
  report.Line(u"backup", {identity.created, identity.comment});

  result.state = ArchiveState::Sound;
  if (!CheckEntries(archive, report, result)) result.state = ArchiveState::Damaged;

  // The values a restore would find once it imported the settings and set this machine's folders.
  RestoreValues values = ReadRestoreValues();
  if (!CheckSettings(archive, report, result, values)) result.state = ArchiveState::Damaged;
  values.favoritesFolder = favoritesFolder;

  std::vector<PlannedFile> plan = PlanBitmaps(archive, dataFolder, values, FolderWouldTakeFiles);
  for (PlannedFile& file : PlanApplicationData(archive, dataFolder, values, FolderWouldTakeFiles)) {
    plan.push_back(std::move(file));
  }
  for (const PlannedFile& file : plan) {
    if (file.destination.empty()) {
      report.Problem(IDS_VERIFY_DESTINATION_REFUSED, file.reportedName);
      continue;
    }
    ++result.files;
    if (file.value) {
      report.Line(u"destination", {file.entry, file.destination, u"moved"});
    } else {
      report.Line(u"destination", {file.entry, file.destination});
    }
  }
  return finish();
}

Text VerifyReport::Summary(const Text& archivePath) const {
  if (restorable) {
    return FormatText(LoadText(IDS_VERIFY_GOOD),
                      {archivePath, DecimalText(entries), DecimalText(values), DecimalText(keys), DecimalText(files)});
  }
  Text text = FormatText(LoadText(IDS_VERIFY_BAD), {archivePath});
  for (size_t i = 0; i < problems.size() && i < kProblemsInSummary; ++i) text += u"\r\n" + problems[i];
  if (problems.size() > kProblemsInSummary) text += u"\r\n...";
  return text;
}

}  // namespace kbt
