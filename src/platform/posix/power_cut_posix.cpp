#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "platform/posix/power_cut_hooks.h"
#include "platform/power_cut.h"

namespace kbt::platform::power_cut {
namespace {

struct Undo {
  enum Kind { RemoveName, MoveBack, RemoveFolder, MakeFolder } kind;
  std::string path, other, kept;
};

struct State {
  bool installed = false, cut = false;
  std::string stash;
  uint64_t cutAt = 0, kept = 0;
  std::vector<Text> steps;
  // Each changed file by its inode: a name of it in the stash and its bytes as last flushed.
  std::map<std::pair<dev_t, ino_t>, std::pair<std::string, std::vector<char>>> files;
  std::vector<Undo> pending;  // since the last change written through, oldest first
};
State& S() {
  static State state;
  return state;
}

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string NewStashName() { return S().stash + "/" + std::to_string(++S().kept); }

void TrackInode(const std::string& path, bool empty) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  const auto key = std::make_pair(info.st_dev, info.st_ino);
  if (S().files.count(key)) return;
  const std::string name = NewStashName();
  if (::link(path.c_str(), name.c_str()) != 0) return;
  S().files[key] = {name, empty ? std::vector<char>() : ReadAll(name)};
}

void Cut() {
  State& s = S();
  s.cut = true;
  for (const auto& [inode, file] : s.files) {
    std::ofstream out(file.first, std::ios::binary | std::ios::trunc);
    out.write(file.second.data(), static_cast<std::streamsize>(file.second.size()));
  }
  for (auto undo = s.pending.rbegin(); undo != s.pending.rend(); ++undo) {
    switch (undo->kind) {
      case Undo::RemoveName: ::unlink(undo->path.c_str()); break;
      case Undo::MoveBack:
        ::rename(undo->other.c_str(), undo->path.c_str());
        if (!undo->kept.empty()) ::rename(undo->kept.c_str(), undo->other.c_str());
        break;
      case Undo::RemoveFolder: ::rmdir(undo->path.c_str()); break;
      case Undo::MakeFolder: ::mkdir(undo->path.c_str(), 0755); break;
    }
  }
  s.pending.clear();
}

}  // namespace

void Install(const Text& stash, uint64_t cutAtStep) {
  Remove();
  S().installed = true;
  S().stash = ToUtf8(stash);
  S().cutAt = cutAtStep;
}

const std::vector<Text>& Steps() { return S().steps; }
bool HasCut() { return S().cut; }

void Remove() { S() = State(); }

namespace hooks {

bool Step(const char* what, const std::string& path, const std::string& other) {
  State& s = S();
  if (!s.installed) return true;
  if (s.cut) return false;
  std::string text = std::string(what) + " " + path + (other.empty() ? "" : " -> " + other);
  s.steps.push_back(FromUtf8(text));
  if (s.steps.size() == s.cutAt) Cut();
  return !s.cut;
}

bool StepOnFile(const char* what, int fd) {
  if (!S().installed) return true;
  std::vector<char> name(4096);
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), name.data(), name.size() - 1);
  return Step(what, length > 0 ? std::string(name.data(), static_cast<size_t>(length)) : link);
}

void Track(const std::string& path) {
  if (S().installed) TrackInode(path, false);
}

void Created(const std::string& path) {
  if (!S().installed) return;
  S().pending.push_back({Undo::RemoveName, path, {}, {}});
  TrackInode(path, true);
}

void Linked(const std::string& path) {
  if (S().installed) S().pending.push_back({Undo::RemoveName, path, {}, {}});
}

void Flushed(int fd) {
  State& s = S();
  struct stat info {};
  if (!s.installed || ::fstat(fd, &info) != 0) return;
  const auto file = s.files.find(std::make_pair(info.st_dev, info.st_ino));
  if (file != s.files.end()) file->second.second = ReadAll(file->second.first);
}

std::string Keep(const std::string& path) {
  struct stat info {};
  if (!S().installed || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
  TrackInode(path, false);
  const std::string kept = NewStashName();
  return ::link(path.c_str(), kept.c_str()) == 0 ? kept : std::string();
}

void Renamed(const std::string& from, const std::string& to, const std::string& kept) {
  if (S().installed) S().pending.push_back({Undo::MoveBack, from, to, kept});
}

void Removed(const std::string& path, const std::string& kept) {
  // Put back by moving its kept name over the place again.
  if (S().installed && !kept.empty()) S().pending.push_back({Undo::MoveBack, path, kept, {}});
}

void MadeFolder(const std::string& path) {
  if (S().installed) S().pending.push_back({Undo::RemoveFolder, path, {}, {}});
}

void RemovedFolder(const std::string& path) {
  if (S().installed) S().pending.push_back({Undo::MakeFolder, path, {}, {}});
}

void Commit() {
  if (S().installed) S().pending.clear();
}

}  // namespace hooks
}  // namespace kbt::platform::power_cut
