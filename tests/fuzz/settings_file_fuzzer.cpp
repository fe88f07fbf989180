// Arbitrary bytes as "settings.reg", imported into the substitute registry. Beyond not crashing:
// nothing is written outside the client's key, and whatever was imported comes back unchanged
// through an export and a second import (what a backup and a restore of that state would do).
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "platform/posix/substitute_registry.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"

namespace {
using namespace kbt;
using platform::RegRoot;

bool InsideClientKey(const Text& entry) {
  const Text path = entry.substr(0, entry.find(u'|'));
  const Text client = u"software\\kestrove";
  return path.empty() || path == u"software" || path == client || path.rfind(client + u"\\", 0) == 0;
}

// Values only: a section without values creates no key, so empty keys do not survive a round trip.
fuzz::RegistryDump ClientValues() {
  fuzz::RegistryDump values;
  for (auto& [entry, value] : fuzz::DumpRegistry(RegRoot::CurrentUser, names::kClientKey)) {
    if (entry.back() != u'|') values.emplace(entry, value);
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::substitute::ClearRegistry();
  fuzz::Scratch& scratch = fuzz::Scratch::Get();
  const Text file = scratch / names::kSettingsFile;
  if (!fuzz::WriteFileBytes(file, data, size)) fuzz::Fail("cannot write the input file");

  ImportSettingsFile(file);

  for (const auto& [entry, value] : fuzz::DumpRegistry(RegRoot::CurrentUser)) {
    KBT_FUZZ_CHECK(InsideClientKey(entry));
  }
  KBT_FUZZ_CHECK(fuzz::DumpRegistry(RegRoot::LocalMachine).size() <= 1);
  KBT_FUZZ_CHECK(fuzz::DumpRegistry(RegRoot::Users).size() <= 1);

  const fuzz::RegistryDump imported = ClientValues();
  if (!imported.empty()) {
    const Text exported = scratch / u"exported.reg";
    KBT_FUZZ_CHECK(ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, exported, true, false));
    platform::substitute::ClearRegistry();
    KBT_FUZZ_CHECK(ImportSettingsFile(exported));
    KBT_FUZZ_CHECK(ClientValues() == imported);
  }
  platform::substitute::ClearRegistry();
  return 0;
}
