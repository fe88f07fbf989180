#include "operations/restore/verify.h"

#include <map>
#include <set>
#include <string>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/restore/archive_password.h"
#include "operations/restore/restore_plan.h"
#include "operations/operation_request.h"
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

// The local header's signature: what every zip file written front to back starts with.
bool StartsAsZip(File& file) {
  unsigned char head[4] = {};
  size_t read = 0;
  return file.Read(head, sizeof head, &read) && read == sizeof head && head[0] == 'P' && head[1] == 'K' &&
         head[2] == 3 && head[3] == 4;
}

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
      if (result.damagedEntry.empty()) result.damagedEntry = info.name;
      whole = false;
    }
    const Text folded = LowerAsciiText(info.name);
    if (!seen.insert(folded).second && collided.insert(folded).second) {
      report.Problem(IDS_VERIFY_ENTRIES_COLLIDE, info.name);
    }
  }
  return whole;
}

// The settings as the restore would import them.
void ReportSettings(const RestorePlan& plan, Report& report, VerifyReport& result) {
  result.values = plan.values;
  result.keys = plan.keys.size();
  report.Line(u"settings", {DecimalText(plan.values), DecimalText(plan.keys.size())});
  for (const auto& [folded, key] : plan.keys) {
    report.Line(u"key", {Text(names::kRootCurrentUser) + u'\\' + key.first, DecimalText(key.second)});
  }
  for (const Text& section : plan.ignoredSections) report.Line(u"ignored", {section});
}

}  // namespace

VerifyReport VerifyArchive(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                           const Text& password) {
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
  if (archivePath.empty()) {
    result.fault = ArchiveFault::NoPath;
    report.Problem(IDS_VERIFY_NO_PATH);
    return finish();
  }
  if (!archive.Open(archivePath)) {
    // A file that reads but does not open as a zip file is something else altogether, unless it
    // starts as one: then its end is missing, as when a copy stops short.
    File file;
    if (file.Open(archivePath, FileMode::ReadShared)) {
      if (StartsAsZip(file)) {
        result.state = ArchiveState::Damaged;
        result.fault = ArchiveFault::Incomplete;
        report.Problem(IDS_ARCHIVE_INCOMPLETE, archivePath);
      } else {
        result.fault = ArchiveFault::NotZip;
        report.Problem(IDS_VERIFY_NOT_ZIP, archivePath);
      }
      return finish();
    }
    result.fault = ArchiveFault::CannotOpen;
    Text problem = FormatText(LoadText(IDS_ARCHIVE_OPEN_FAILED), {archivePath});
    const Text why = ErrorText(LastError());
    if (!why.empty()) problem += u' ' + why;
    result.systemReason = why;
    report.Problem(problem);
    return finish();
  }
  if (!ReadBackupIdentity(archivePath, identity)) {
    result.fault = ArchiveFault::NotBackup;
    report.Problem(IDS_NOT_A_BACKUP, archivePath);
    return finish();
  }
  result.comment = identity.comment;
  result.created = identity.created;
  report.Line(u"backup", {identity.created, identity.comment});

  // Without its password a protected archive shows only its directory: names and sizes.
  if (archive.Protection() == ArchiveProtection::Protected && password.empty()) {
    result.state = ArchiveState::Sound;
    for (bool more = archive.CheckDirectory() && archive.GoToFirstEntry(); more; more = archive.GoToNextEntry()) {
      BackupArchiveReader::EntryInfo info;
      if (!archive.CurrentEntryInfo(info)) break;
      ++result.entries;
      report.Line(u"entry", {info.name, DecimalText(info.size), u"protected"});
    }
    report.Line(u"protected", {});
    report.Problem(IDS_ARCHIVE_PROTECTED, archivePath);
    result.password = PasswordCheck::Missing;
    return finish();
  }
  Text locked;
  if (!UnlockArchive(archive, archivePath, password, locked)) {
    // A wrong password says nothing about the archive: it is no damage.
    if (archive.LastProblem() == EntryProblem::WrongPassword) {
      result.state = ArchiveState::Sound;
      result.password = PasswordCheck::Wrong;
    }
    report.Problem(locked);
    return finish();
  }
  if (archive.Protection() == ArchiveProtection::Protected) result.password = PasswordCheck::Right;

  result.state = ArchiveState::Sound;
  if (!CheckEntries(archive, report, result)) {
    result.state = ArchiveState::Damaged;
    result.fault = ArchiveFault::Damaged;
  }

  // The one plan the restore carries out.
  RestorePlan plan;
  if (!PlanRestore(archive, dataFolder, favoritesFolder, DataSelection::Settings | DataSelection::ApplicationData,
                   plan)) {
    for (const Text& refusal : plan.refusals) report.Problem(refusal);
    if (plan.settingsUnreadable) {
      result.state = ArchiveState::Damaged;
      result.fault = ArchiveFault::Damaged;
      if (result.damagedEntry.empty()) result.damagedEntry = names::kSettingsFile;
    }
    if (plan.settingsRefused) return finish();
  }
  ReportSettings(plan, report, result);
  for (const std::vector<PlannedFile>* files : {&plan.bitmaps, &plan.data}) {
    for (const PlannedFile& file : *files) {
      if (file.destination.empty()) {
        report.Problem(IDS_VERIFY_DESTINATION_REFUSED, file.reportedName);
        continue;
      }
      if (!file.unchanged && !IsReplaceable(file.destination)) {
        report.Problem(IDS_VERIFY_DESTINATION_LOCKED, file.reportedName, file.destination);
        continue;
      }
      ++result.files;
      if (file.value || file.unchanged) {
        report.Line(u"destination", {file.entry, file.destination, file.value ? u"moved" : u"unchanged"});
      } else {
        report.Line(u"destination", {file.entry, file.destination});
      }
    }
  }
  return finish();
}

bool OperationRequest::Verify() {
  Verification = VerifyArchive(ArchivePath, DataFolder, FavoritesFolder, Password);
  for (const Text& problem : Verification.problems) Log.Add(u"%s", problem);
  return Verification.restorable;
}

Text VerifyReport::Summary(const Text& archivePath) const {
  if (restorable) {
    return FormatText(LoadText(IDS_VERIFY_GOOD),
                      {archivePath, DecimalText(entries), DecimalText(values), DecimalText(keys), DecimalText(files)});
  }
  // A file that is no backup at all cannot be restored even in part.
  // Without a path there is no file to name, only what is missing.
  Text text = archivePath.empty() ? Text()
              : FormatText(LoadText(state == ArchiveState::Unreadable ? IDS_VERIFY_UNUSABLE : IDS_VERIFY_BAD), {archivePath});
  for (size_t i = 0; i < problems.size() && i < kProblemsInSummary; ++i) text += (text.empty() ? u"" : u"\r\n") + problems[i];
  if (problems.size() > kProblemsInSummary) text += u"\r\n...";
  return text;
}

}  // namespace kbt
