// A full backup and a full restore of a client profile through the operations, natively over the
// in-memory registry. Prints elapsed_ms= for each, as bench/operations_bench.sh reads it. With a
// password the archive is a protected one.
//   operations_native_bench backup <data folder> <archive> [password]
//   operations_native_bench restore <archive> <data folder> [password]
#include <chrono>
#include <cstdio>
#include <string>

#include "operations/operation_request.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s backup <data folder> <archive> | restore <archive> <data folder> [password]\n",
                 argv[0]);
    return 2;
  }
  const std::string verb = argv[1];
  const bool backup = verb == "backup";
  kbt::OperationRequest request(backup ? kbt::OperationMode::Backup : kbt::OperationMode::Restore);
  request.DataFolder = kbt::FromUtf8(backup ? argv[2] : argv[3]);
  request.FavoritesFolder = request.DataFolder;
  request.ArchivePath = kbt::FromUtf8(backup ? argv[3] : argv[2]);
  if (argc == 5) request.Password = kbt::FromUtf8(argv[4]);
  const auto start = std::chrono::steady_clock::now();
  const bool ok = request.Run();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  for (const kbt::Text& message : request.Log.Entries()) std::fprintf(stderr, "%s\n", kbt::ToUtf8(message).c_str());
  std::printf("elapsed_ms=%lld\n", static_cast<long long>(ms.count()));
  return ok ? 0 : 1;
}
