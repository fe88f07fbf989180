// Arbitrary bytes opened as a backup archive: the global comment read, every fixed entry name
// located and extracted into a scratch folder (protected entries with the seeds' password), the
// backup identity read. Beyond not crashing: a
// failed extraction leaves the file it would have replaced as it was, and nothing but the named
// destinations is ever created (no temporary file left behind, no path taken from an entry name).
// An archive whose directory check passes has every walked entry found by its name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "fuzz/fuzz_support.h"
#include "res/non_localizable.h"

namespace {
using namespace kbt;

const char16_t* const kEntries[] = {names::kSettingsFile, names::kHistoryFile, names::kCustomFile,
                                    names::kFoldersFile, names::kFavoritesFile};

std::vector<uint8_t> Marker(const Text& name) {
  const std::string text = "kept " + ToUtf8(name);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Extracts the current entry over a file with known content; on failure that content must stay.
void ExtractOver(BackupArchiveReader& reader, const Text& destination, const Text& name) {
  const std::vector<uint8_t> before = Marker(name);
  if (!fuzz::WriteFileBytes(destination, before.data(), before.size())) fuzz::Fail("cannot write a destination");
  if (!reader.ExtractCurrentEntry(destination)) KBT_FUZZ_CHECK(fuzz::ReadFileBytes(destination) == before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Scratch& scratch = fuzz::Scratch::Get();
  scratch.Clear();
  const Text archive = scratch / u"input.zip";
  if (!fuzz::WriteFileBytes(archive, data, size)) fuzz::Fail("cannot write the input file");

  {
    BackupArchiveReader reader;
    if (reader.Open(archive)) {
      // Protected entries are read with the seeds' password; plain ones ignore it. A plain archive
      // has no verifier to fail.
      const ArchiveProtection protection = reader.Protection();
      reader.SetPassword(fuzz::kArchivePassword);
      if (protection == ArchiveProtection::Plain) KBT_FUZZ_CHECK(reader.CheckPassword() == EntryProblem::None);
      Text comment = u"unchanged";
      if (!reader.ReadGlobalComment(comment)) KBT_FUZZ_CHECK(comment == u"unchanged");
      for (const char16_t* entry : kEntries) {
        const Text name = entry;
        if (reader.LocateEntry(name, false)) ExtractOver(reader, scratch / name, name);
      }
      // Each search walks the whole central directory, which minizip parses slowly for crafted
      // extra fields; the other two searches are tried once each.
      const Text history = names::kHistoryFile, custom = names::kCustomFile;
      if (reader.LocateEntry(history, true)) ExtractOver(reader, scratch / (u"any-case-" + history), history);
      if (reader.LocateLastEntry(custom)) ExtractOver(reader, scratch / (u"last-" + custom), custom);
      // What the check walked, the lookups find; a few names suffice, each lookup walks everything.
      std::vector<Text> walked;
      if (reader.CheckDirectory(&walked)) {
        size_t tried = 0;
        for (const Text& name : walked) {
          if (name.empty()) continue;  // no lookup takes an empty name
          if (++tried > 16) break;
          KBT_FUZZ_CHECK(reader.LocateEntry(name, false));
          ExtractOver(reader, scratch / u"walked", name);
        }
      }
      // The current entry, whatever it is after the searches, into a folder that does not exist.
      KBT_FUZZ_CHECK(!reader.ExtractCurrentEntry(scratch / u"missing/out"));
      reader.Close();
    }
  }

  BackupIdentity identity{u"old", u"old"};
  if (ReadBackupIdentity(archive, identity)) {
    KBT_FUZZ_CHECK(identity.comment.find(u'\n') == Text::npos && identity.created.find(u'\n') == Text::npos);
  } else {
    KBT_FUZZ_CHECK(identity.comment == u"old" && identity.created == u"old");
  }

  // Only the input and destinations named here; never a leftover or a name from the archive.
  std::set<std::string> allowed{"input.zip", "walked"};
  for (const char16_t* entry : kEntries) {
    for (const char* prefix : {"", "any-case-", "last-"}) allowed.insert(prefix + ToUtf8(entry));
  }
  for (const std::string& name : scratch.List()) {
    if (!allowed.count(name)) {
      std::fprintf(stderr, "unexpected file in the scratch folder: %s\n", name.c_str());
      fuzz::Fail("only the named destinations are written");
    }
  }
  return 0;
}
