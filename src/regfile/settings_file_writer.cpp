#include "regfile/settings_file_writer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "regfile/registry_key.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

namespace {

constexpr char16_t kLineEnd[] = u"\r\n";
constexpr size_t kFlushAt = 32 * 1024;  // characters

const char16_t* RootName(RegRoot root) {
  switch (root) {
    case RegRoot::LocalMachine: return names::kRootLocalMachine;
    case RegRoot::CurrentUser: return names::kRootCurrentUser;
    case RegRoot::Users: return names::kRootUsers;
  }
  return nullptr;
}

// Collects whole lines and writes them in large pieces. The first failed write is kept and ends
// all writing, so a file cut short can never be reported as complete.
class LineSink {
 public:
  explicit LineSink(File& file) : file_(file) { buffer_.reserve(kFlushAt + 1024); }

  void Add(const Text& line) {
    if (failed_) return;
    buffer_ += line;
    if (buffer_.size() >= kFlushAt) Flush();
  }

  bool Flush() {
    if (!failed_ && !buffer_.empty()) {
      bytes_.resize(buffer_.size() * 2);
      for (size_t i = 0; i < buffer_.size(); ++i) {  // UTF-16LE whatever the host's byte order
        bytes_[2 * i] = static_cast<uint8_t>(buffer_[i]);
        bytes_[2 * i + 1] = static_cast<uint8_t>(buffer_[i] >> 8);
      }
      failed_ = !file_.Write(bytes_.data(), bytes_.size());
    }
    buffer_.clear();
    return !failed_;
  }

  bool Failed() const { return failed_; }

 private:
  File& file_;
  Text buffer_;
  std::vector<uint8_t> bytes_;
  bool failed_ = false;
};

void AppendType(Text& line, uint32_t type) {
  const std::string digits = std::to_string(static_cast<int32_t>(type));
  line.append(digits.begin(), digits.end());
}

void AppendEscapedName(Text& line, const char16_t* name, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (name[i] == u'"') line += u'\\';
    line += name[i];
  }
}

bool HasLineBreak(const char16_t* name, size_t length) {
  return std::find_if(name, name + length, [](char16_t c) { return c == u'\r' || c == u'\n'; }) != name + length;
}

// Writes one key's section and value lines; with 'subKeys' also lists its sub-keys' names.
bool ExportKeyLines(LineSink& sink, RegRoot root, const Text& path, std::vector<Text>* subKeys, Text& line,
                    ExportProblems* problems) {
  line.assign(kLineEnd);
  line += u'[';
  line += RootName(root);
  line += u'\\';
  line += path;
  line += u']';
  line += kLineEnd;
  sink.Add(line);

  RegistryKey key;
  if (key.Open(root, path, kKeyRead) != kSuccess) return !sink.Failed();

  KeyInfo info;
  QueryKeyInfo(key.Get(), &info);  // a failed query reads as an empty key

  bool result = true;
  {
    std::vector<char16_t> name(size_t(info.maxValueNameLength) + 1);
    std::vector<uint8_t> data(info.maxValueDataSize ? info.maxValueDataSize : 1);
    for (uint32_t i = 0; i < info.values && !sink.Failed(); ++i) {
      uint32_t nameLength = static_cast<uint32_t>(name.size());
      uint32_t dataSize = info.maxValueDataSize;
      uint32_t type = 0;
      const Status status = EnumerateValue(key.Get(), i, name.data(), &nameLength, &type, data.data(), &dataSize);
      if (status == kNoMoreItems) break;
      if (status != kSuccess) {
        result = false;
        break;
      }
      // Such a name cannot stand on one line, and a broken line would end the section on import.
      if (HasLineBreak(name.data(), nameLength)) {
        if (problems) problems->values.emplace_back(name.data(), nameLength);
        continue;
      }
      if (nameLength == 0) {
        line.assign(u"@");
      } else {
        line.assign(u"\"");
        AppendEscapedName(line, name.data(), nameLength);
        line += u'"';
      }
      line += names::kHexValueMarker;
      AppendType(line, type);
      line += u"):";
      EncodeHex(line, data.data(), dataSize);
      line += kLineEnd;
      sink.Add(line);
    }
  }

  if (subKeys) {
    std::vector<char16_t> name(size_t(info.maxSubKeyLength) + 1);
    for (uint32_t j = 0; j < info.subKeys && !sink.Failed(); ++j) {
      uint32_t nameLength = static_cast<uint32_t>(name.size());
      const Status status = EnumerateKey(key.Get(), j, name.data(), &nameLength);
      if (status == kNoMoreItems) break;
      if (status != kSuccess) {
        result = false;
        break;
      }
      if (HasLineBreak(name.data(), nameLength)) {
        if (problems) problems->keys.push_back(path + u'\\' + Text(name.data(), nameLength));
        continue;
      }
      subKeys->emplace_back(name.data(), nameLength);
    }
  }
  return result && !sink.Failed();
}

// Section first, then the values, then each sub-key's whole subtree, so a reader meets a key's
// values before anything below it. The walk keeps its own stack: a registry tree can be nested
// far deeper than the thread's stack would allow a recursion to go.
bool ExportTree(LineSink& sink, RegRoot root, const Text& top, bool recursive, Text& line, ExportProblems* problems) {
  struct Level {
    size_t pathLength;
    std::vector<Text> subKeys;
    size_t next = 0;
  };
  Text path = top;
  std::vector<Level> levels(1, Level{path.size(), {}});
  bool result = ExportKeyLines(sink, root, path, recursive ? &levels.back().subKeys : nullptr, line, problems);
  while (!levels.empty() && !sink.Failed()) {
    Level& level = levels.back();
    if (level.next == level.subKeys.size()) {
      levels.pop_back();
      continue;
    }
    path.resize(level.pathLength);
    path += u'\\';
    path += level.subKeys[level.next++];
    levels.push_back(Level{path.size(), {}});
    if (!ExportKeyLines(sink, root, path, &levels.back().subKeys, line, problems)) result = false;
  }
  return result && !sink.Failed();
}

bool ExportWithSink(LineSink& sink, RegRoot root, const Text& keyPath, bool recursive, ExportProblems* problems) {
  Text line;
  const bool exported = ExportTree(sink, root, keyPath, recursive, line, problems);
  return sink.Flush() && exported;
}

}  // namespace

bool ExportKey(RegRoot root, const Text& keyPath, File& file, bool recursive, ExportProblems* problems) {
  if (!RootName(root) || !file.IsOpen()) return false;
  LineSink sink(file);
  return ExportWithSink(sink, root, keyPath, recursive, problems);
}

bool ExportKeyToFile(RegRoot root, const Text& keyPath, const Text& filePath, bool recursive, bool append,
                     ExportProblems* problems) {
  if (!RootName(root)) return false;
  File file;
  if (!file.Open(filePath, append ? FileMode::AppendExisting : FileMode::CreateAlways)) return false;
  LineSink sink(file);
  if (!append) {
    Text header(1, u'\xFEFF');
    header += names::kSettingsFileHeader;
    header += kLineEnd;
    header += names::kSettingsFileNotice;
    header += kLineEnd;
    sink.Add(header);
  }
  const bool exported = ExportWithSink(sink, root, keyPath, recursive, problems);
  // The close is where a full disk may show last; its failure fails the export too.
  const bool closed = file.Close();
  return exported && closed;
}

}  // namespace kbt
