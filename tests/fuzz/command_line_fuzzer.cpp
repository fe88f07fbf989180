// The command-line splitter and parser on arbitrary tails. Beyond not crashing: arguments are
// never empty unless quoted, plain arguments hold no blank, quoting every argument again gives
// the same list, and the parse leaves a mode that the operations know.
#include <cstddef>
#include <cstdint>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kbt;
  const Text tail = size % 2 ? fuzz::Widen8(data, size) : fuzz::Utf16Le(data, size);

  const std::vector<Text> arguments = SplitCommandLine(tail);
  size_t characters = 0;
  Text requoted;
  bool anyQuote = false;
  for (const Text& argument : arguments) {
    characters += argument.size();
    if (argument.find(u'"') != Text::npos) anyQuote = true;
    if (!requoted.empty()) requoted += u' ';
    requoted += u'"' + argument + u'"';
  }
  KBT_FUZZ_CHECK(characters <= tail.size());
  if (tail.find(u'"') == Text::npos) {
    for (const Text& argument : arguments) KBT_FUZZ_CHECK(!argument.empty() && argument.find(u' ') == Text::npos);
  }
  if (!anyQuote) KBT_FUZZ_CHECK(SplitCommandLine(requoted) == arguments);

  OperationRequest request(OperationMode::Backup);
  size_t usageBoxes = 0;
  const CommandLine line = ParseCommandLine(tail, request, [&] { ++usageBoxes; });
  KBT_FUZZ_CHECK(line.usageShown == (usageBoxes > 0));
  const int mode = static_cast<int>(request.GetMode());
  KBT_FUZZ_CHECK(mode >= 0 && mode <= 4);
  if (arguments.empty()) KBT_FUZZ_CHECK(!request.IsUnattended() && request.ArchivePath.empty());
  return 0;
}
