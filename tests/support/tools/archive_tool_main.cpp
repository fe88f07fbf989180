// archivetool: the archive layer on the command line, for the interop check and the benchmark.
//   archivetool write ARCHIVE [--level N] [--comment-file PATH] [--backup-comment TEXT] [--time] FILE...
//   archivetool extract ARCHIVE FOLDER [--password TEXT] [--time] NAME...
//   archivetool identity ARCHIVE
// Entries are named after the files; extracted entries land in FOLDER under their names.
// Exit code 0: every step succeeded; 1: a step failed; 2: usage.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace kbt {
namespace {

void Print(const Text& text) {
  const std::string utf8 = ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

bool ReadWholeFile(const Text& path, std::string& bytes) {
  platform::File file;
  if (!file.Open(path, platform::FileMode::ReadShared)) return false;
  char buffer[4096];
  size_t got = 0;
  while (file.Read(buffer, sizeof buffer, &got) && got > 0) bytes.append(buffer, got);
  return true;
}

class Stopwatch {
 public:
  explicit Stopwatch(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}
  ~Stopwatch() {
    if (!enabled_) return;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    std::printf("elapsed_ms=%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  }

 private:
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
};

int Write(const std::vector<Text>& args) {
  if (args.empty()) return 2;
  int level = -1;
  bool timed = false;
  bool hasComment = false;
  Text comment, password;
  std::vector<Text> files;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--level" && i + 1 < args.size()) {
      level = std::stoi(ToUtf8(args[++i]));
    } else if (args[i] == u"--password" && i + 1 < args.size()) {
      password = args[++i];
    } else if (args[i] == u"--comment-file" && i + 1 < args.size()) {
      std::string bytes;
      if (!ReadWholeFile(args[++i], bytes)) return 2;
      comment = FromUtf8(bytes);
      hasComment = true;
    } else if (args[i] == u"--backup-comment" && i + 1 < args.size()) {
      comment = FormatBackupComment(args[++i], platform::GetLocalTime());
      hasComment = true;
    } else if (args[i] == u"--time") {
      timed = true;
    } else {
      files.push_back(args[i]);
    }
  }
  Stopwatch stopwatch(timed);
  BackupArchiveWriter writer;
  if (!writer.Open(args[0], 0)) {
    std::fprintf(stderr, "cannot create the archive\n");
    return 1;
  }
  writer.Password = password;
  int result = 0;
  for (const Text& file : files) {
    if (!writer.AddFile(file, platform::FileNamePart(file), level)) {
      std::fprintf(stderr, "failed to add %s\n", ToUtf8(file).c_str());
      result = 1;
    }
  }
  writer.CommentText = comment;
  writer.HasComment = hasComment;
  if (!writer.Close()) {
    std::fprintf(stderr, "failed to complete the archive\n");
    result = 1;
  }
  return result;
}

int Extract(const std::vector<Text>& args) {
  if (args.size() < 2) return 2;
  bool timed = false;
  bool hasPassword = false;
  Text password;
  std::vector<Text> names;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == u"--password" && i + 1 < args.size()) {
      password = args[++i];
      hasPassword = true;
    } else if (args[i] == u"--time") {
      timed = true;
    } else {
      names.push_back(args[i]);
    }
  }
  Stopwatch stopwatch(timed);
  BackupArchiveReader reader;
  if (!reader.Open(args[0])) {
    std::fprintf(stderr, "cannot open the archive\n");
    return 1;
  }
  int result = 0;
  for (const Text& name : names) {
    Text destination = args[1];
    platform::AppendPath(destination, name);
    const Text* secret = hasPassword ? &password : nullptr;
    if (!reader.LocateEntry(name, false) || !reader.ExtractCurrentEntry(destination, secret)) {
      std::fprintf(stderr, "failed to extract %s\n", ToUtf8(name).c_str());
      result = 1;
    }
  }
  return result;
}

int Identity(const std::vector<Text>& args) {
  if (args.size() != 1) return 2;
  BackupIdentity identity;
  if (!ReadBackupIdentity(args[0], identity)) return 1;
  Print(u"comment=" + identity.comment + u"\ncreated=" + identity.created + u"\n");
  return 0;
}

int Run(const std::vector<Text>& args) {
  if (args.empty()) return 2;
  const std::vector<Text> rest(args.begin() + 1, args.end());
  if (args[0] == u"write") return Write(rest);
  if (args[0] == u"extract") return Extract(rest);
  if (args[0] == u"identity") return Identity(rest);
  return 2;
}

}  // namespace
}  // namespace kbt

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<kbt::Text> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return kbt::Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<kbt::Text> args;
  for (int i = 1; i < argc; ++i) args.push_back(kbt::FromUtf8(argv[i]));
  return kbt::Run(args);
}
#endif
