#pragma once
// The one rule for what the tool may write, delete or read among the client's files. Registry
// values and archives from anywhere name those files; every operation asks this rule before it
// touches one, so no value or archive can lead the tool into the system's or the shell's folders.
#include <vector>

#include "platform/text.h"

namespace kbt {

// "<local application data>\Kestrove\Backup Tool", the tool's own folder; false when there is
// no such folder to name.
[[nodiscard]] bool GetToolFolder(Text& folder);

class ClientPlaces {
 public:
  // dataFolder: the client's data folder as this run found it. The tool's own folder is never one
  // of the client's places: nothing an archive or a record names may reach the undo points.
  explicit ClientPlaces(Text dataFolder);

  enum class Verdict {
    Accepted,
    NotLocal,   // not an absolute, plainly spelled path on a local drive
    Protected   // the system's, the shell's, another user's or the tool's own, or inside one
  };
  // A folder that may hold the client's files: absolute on a local drive, spelled plainly, and
  // neither one of the system's or the shell's own folders nor inside one (after links and short
  // names are resolved).
  bool AcceptsFolder(const Text& folder) const { return Judge(folder) == Verdict::Accepted; }
  Verdict Judge(const Text& folder) const;
  // The message that names a refused folder and why, for the failure it causes.
  static Text RefusalText(const Text& folder, Verdict verdict);
  // A display bitmap: a ".bmp" file in an accepted folder.
  bool AcceptsBitmap(const Text& path) const;
  // The transfer queue: a ".que" file in an accepted folder, or "queue.dat" in the data folder.
  bool AcceptsQueue(const Text& path) const;

  // A file an undo point may name, judged by its kind: one of the client's data files by its fixed
  // name (or "queue.dat") in an accepted folder, a bitmap and a queue as above.
  bool AcceptsRecordedFile(const Text& path) const;

  // File names a bitmap or a queue may have, whatever their folder.
  static bool IsBitmapName(const Text& name);
  static bool IsQueueName(const Text& name);

 private:
  // An accepted place; 'resolved' is where it really leads.
  bool AcceptsPlace(const Text& path, Text& resolved) const { return JudgePlace(path, resolved) == Verdict::Accepted; }
  Verdict JudgePlace(const Text& path, Text& resolved) const;

  Text dataFolder_;
  Text resolvedDataFolder_;
  std::vector<Text> protectedFolders_;
};

}  // namespace kbt
