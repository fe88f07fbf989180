// The settings file writer and reader on their own: the synthetic client tree of
// bench/settings_bench.sh in the native build's in-memory registry, exported and imported, at n and
// 2n keys. Shows the cost of our formatting and parsing without the registry server, its growth
// with the tree (in processor time, which the machine's other work and the disk's write-back do not
// inflate), and the peak memory, most of which is the in-memory registry itself.  settings_native_bench [keys] [values-per-key] [runs]
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/substitute_registry.h"
#include "platform/registry.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "support/settings_tree.h"

namespace {
using namespace kbt;
using namespace kbt::platform;
const Text kBench = u"Software\\Kestrove\\Bench";

struct Timing {
  double wall = 1e9;  // seconds
  double cpu = 1e9;   // seconds of this process's processor time: steadier on a busy machine
};

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The best of 'runs' runs of one step, each after 'prepare' (not timed).
template <typename Prepare, typename Step>
Timing Best(unsigned runs, Prepare prepare, Step step) {
  Timing best;
  for (unsigned r = 0; r < runs; ++r) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    if (!step()) {
      std::fprintf(stderr, "step failed\n");
      std::exit(1);
    }
    best.cpu = std::min(best.cpu, CpuSeconds() - cpuStart);
    best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

size_t FileSize(const Text& path) {
  File file;
  if (!file.Open(path, FileMode::ReadShared)) return 0;
  std::vector<char> buffer(1 << 16);
  size_t total = 0, got = 0;
  while (file.Read(buffer.data(), buffer.size(), &got) && got > 0) total += got;
  return total;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned keys = argc > 1 ? std::atoi(argv[1]) : 2000;
  const unsigned values = argc > 2 ? std::atoi(argv[2]) : 20;
  const unsigned runs = argc > 3 ? std::atoi(argv[3]) : 5;
  Text folder;
  if (!GetTempFolder(folder)) return 1;
  const Text file = folder + u"kbt-settings-native-bench.reg";
  // A first round on the larger tree grows the heap once, so neither measured size pays for it.
  if (!testing::SeedSettingsTree(kBench, keys * 2, values) ||
      !ExportKeyToFile(RegRoot::CurrentUser, kBench, file, true, false) || !ImportSettingsFile(file)) {
    return 1;
  }
  Timing exported[2], imported[2];
  for (int size = 0; size < 2; ++size) {
    substitute::ClearRegistry();
    if (!testing::SeedSettingsTree(kBench, keys << size, values)) return 1;
    exported[size] = Best(runs, [] {}, [&] { return ExportKeyToFile(RegRoot::CurrentUser, kBench, file, true, false); });
    imported[size] = Best(runs, [] { static_cast<void>(DeleteKeyTree(RegRoot::CurrentUser, kBench)); },
                          [&] { return ImportSettingsFile(file); });
    std::printf("%u keys x %u values, file %zu bytes: export %.3f s (cpu %.3f s), import %.3f s (cpu %.3f s), "
                "peak %.1f MiB\n", keys << size, values, FileSize(file), exported[size].wall, exported[size].cpu,
                imported[size].wall, imported[size].cpu, PeakKiB() / 1024.0);
  }
  std::printf("growth n -> 2n in processor time (linear: at most 2.2): export x%.2f, import x%.2f\n",
              exported[1].cpu / exported[0].cpu, imported[1].cpu / imported[0].cpu);
  static_cast<void>(RemoveFile(file));  // in the temporary folder
  return 0;
}
