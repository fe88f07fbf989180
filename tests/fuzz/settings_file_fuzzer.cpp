// Arbitrary bytes as "settings.reg", imported into the substitute registry. Beyond not crashing:
// nothing is written outside the client's key nor into the tool's own, a file beyond the limits
// (small ones here, so that inputs reach them) or refused changes nothing, a check tells the same
// keys, values and refusal as the import does, and whatever was imported comes back unchanged
// through an export and a second import (what a backup and a restore of that state would do).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "platform/posix/substitute_registry.h"
#include "platform/registry.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "regfile/key_path.h"
#include "regfile/settings_key_list.h"
#include "res/non_localizable.h"

namespace {
using namespace kbt;
using platform::RegRoot;

bool InsideClientKey(const Text& entry) {
  const Text path = entry.substr(0, entry.find(u'|'));
  const Text client = u"software\\kestrove";
  return path.empty() || path == u"software" || path == client || path.rfind(client + u"\\", 0) == 0;
}

// The tool's branch, also under a name with blanks around it.
bool InsideToolKey(const Text& entry) {
  const Text path = entry.substr(0, entry.find(u'|'));
  const Text prefix = u"software\\kestrove\\";
  if (path.rfind(prefix, 0) != 0) return false;
  const Text below = path.substr(prefix.size(), path.find(u'\\', prefix.size()) - prefix.size());
  const size_t first = below.find_first_not_of(u" \t");
  return first != Text::npos && below.compare(first, 6, u"backup") == 0 &&
         below.find_first_not_of(u" \t", first + 6) == Text::npos;
}

bool HasLineBreak(const Text& entry) { return entry.find_first_of(u"\r\n") != Text::npos; }

// Keys and values, but not those whose names hold a line break (a lone CR inside a line reaches
// the registry): the export leaves them out and names them.
fuzz::RegistryDump ClientState(bool* lineBreaks = nullptr) {
  fuzz::RegistryDump state;
  for (auto& [entry, value] : fuzz::DumpRegistry(RegRoot::CurrentUser, names::kClientKey)) {
    if (HasLineBreak(entry)) {
      if (lineBreaks) *lineBreaks = true;
      continue;
    }
    state.emplace(entry, value);
  }
  return state;
}

// The state as a round trip through the writer must give it back. A key that holds nothing the
// writer could write, at any depth, is brought back only below a listed key: elsewhere its empty
// section says nothing (the writer writes the listed keys' sections whether they exist or not).
fuzz::RegistryDump RoundTripped(const fuzz::RegistryDump& state) {
  static const SettingsKeyList listed;
  const auto keyOf = [](const Text& entry) { return entry.substr(0, entry.rfind(u'|')); };
  const auto shown = [&](const Text& entry) {
    const Text key = keyOf(entry);
    return entry.back() != u'|' || std::any_of(listed.begin(), listed.end(), [&](const Text& list) {
             return IsKeySameOrBelow(key, list) && NormalKeyPath(key).size() > NormalKeyPath(list).size();
           });
  };
  fuzz::RegistryDump kept;
  for (const auto& item : state) {
    const Text key = keyOf(item.first);
    const bool holdsShown = std::any_of(state.begin(), state.end(), [&](const auto& other) {
      return other.first.size() > key.size() && other.first.compare(0, key.size(), key) == 0 &&
             (other.first[key.size()] == u'\\' || other.first[key.size()] == u'|') && shown(other.first);
    });
    if (shown(item.first) || holdsShown) kept.insert(item);
  }
  return kept;
}

// How many keys and values a check tells.
struct Told : SettingsFileObserver {
  void Key(const Text&) override { ++keys; }
  void Value(const Text&, const Text&, uint32_t, const std::vector<uint8_t>&) override { ++values; }
  void IgnoredSection(std::u16string_view) override {}
  size_t keys = 0, values = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::substitute::ClearRegistry();
  fuzz::Scratch& scratch = fuzz::Scratch::Get();
  const Text file = scratch / names::kSettingsFile;
  if (!fuzz::WriteFileBytes(file, data, size)) fuzz::Fail("cannot write the input file");

  SettingsLimits small;
  small.fileBytes = 16384;
  small.lineCharacters = 512;
  small.valueBytes = 64;
  small.values = 16;
  small.dataBytes = 256;
  {
    platform::RegHandle key = 0;
    const uint8_t kept[] = {1, 2, 3, 4};
    if (platform::CreateKey(RegRoot::CurrentUser, u"Software\\Kestrove\\Transfer", platform::kKeyWrite, &key) !=
            platform::kSuccess ||
        platform::SetValue(key, u"Retries", platform::kRegDword, kept, sizeof kept) != platform::kSuccess) {
      fuzz::Fail("cannot seed the registry");
    }
    platform::CloseKey(key);
  }
  const fuzz::RegistryDump seeded = fuzz::DumpRegistry(RegRoot::CurrentUser);
  SettingsLimit exceeded = SettingsLimit::None;
  SettingsFileProblem problem;
  const bool withinSmall = ImportSettingsFile(file, &exceeded, small, &problem);
  if (exceeded != SettingsLimit::None || problem.kind != SettingsProblemKind::None) {
    KBT_FUZZ_CHECK(!withinSmall);
    KBT_FUZZ_CHECK(fuzz::DumpRegistry(RegRoot::CurrentUser) == seeded);
  }
  platform::substitute::ClearRegistry();

  Told told;
  SettingsFileProblem checked;
  const bool checkedWhole = CheckSettingsFile(file, told, &exceeded, &checked);
  const bool importedWhole = ImportSettingsFile(file, nullptr, kSettingsLimits, &problem);
  KBT_FUZZ_CHECK(checkedWhole == importedWhole);
  KBT_FUZZ_CHECK(checked.kind == problem.kind && checked.line == problem.line);
  if (importedWhole) {
    // No value that was not told, and something of what was told.
    size_t found = 0;
    for (const auto& [entry, value] : fuzz::DumpRegistry(RegRoot::CurrentUser, names::kClientKey)) {
      found += entry.back() != u'|';
    }
    KBT_FUZZ_CHECK(found <= told.values);
    KBT_FUZZ_CHECK((told.keys == 0) == fuzz::DumpRegistry(RegRoot::CurrentUser, names::kClientKey).empty());
  }

  for (const auto& [entry, value] : fuzz::DumpRegistry(RegRoot::CurrentUser)) {
    KBT_FUZZ_CHECK(InsideClientKey(entry));
    KBT_FUZZ_CHECK(!InsideToolKey(entry));
  }
  KBT_FUZZ_CHECK(fuzz::DumpRegistry(RegRoot::LocalMachine).size() <= 1);
  KBT_FUZZ_CHECK(fuzz::DumpRegistry(RegRoot::Users).size() <= 1);

  bool lineBreaks = false;
  const fuzz::RegistryDump imported = ClientState(&lineBreaks);
  if (!imported.empty() || lineBreaks) {
    const Text exported = scratch / u"exported.reg";
    ExportProblems leftOut;
    KBT_FUZZ_CHECK(ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, exported, true, false, &leftOut));
    if (lineBreaks) KBT_FUZZ_CHECK(!leftOut.values.empty() || !leftOut.keys.empty());
    platform::substitute::ClearRegistry();
    KBT_FUZZ_CHECK(ImportSettingsFile(exported));
    KBT_FUZZ_CHECK(RoundTripped(ClientState()) == RoundTripped(imported));
  }
  platform::substitute::ClearRegistry();
  return 0;
}
