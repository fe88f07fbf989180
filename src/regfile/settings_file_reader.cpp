#include "regfile/settings_file_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

namespace {

using View = std::u16string_view;
constexpr size_t kNone = View::npos;
constexpr size_t kMarkerLength = sizeof(names::kHexValueMarker) / sizeof(char16_t) - 1;

// The white space the profile functions trim from the ends of a line: Unicode spaces, CR and ^Z.
bool IsProfileSpace(char16_t c) {
  if (c > u' ' && c < 0x85) return false;
  return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x1A || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

View Trim(View line) {
  size_t begin = 0, end = line.size();
  while (begin < end && IsProfileSpace(line[begin])) ++begin;
  while (end > begin && IsProfileSpace(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

// Only the client's own key and the keys below it, on whole key names: a settings file can never
// plant values anywhere else (a Run key, another program's settings).
bool ClientKeyPath(View section, Text& keyPath) {
  const View root(names::kRootCurrentUser);
  if (section.size() <= root.size() || section.substr(0, root.size()) != root || section[root.size()] != u'\\') {
    return false;
  }
  const Text path(section.substr(root.size() + 1));
  const Text client(names::kClientKey);
  if (!StartsWithIgnoreAsciiCase(path, client)) return false;
  if (path.size() != client.size() && path[client.size()] != u'\\') return false;
  keyPath = path;
  return true;
}

// The tool's own branch, "Software\Kestrove\Backup" and everything below it, is never taken from a
// file: an archive must not choose the wizard's proposals. Compared on whole key names as the
// registry resolves them: empty names between doubled separators are no level, and blanks around
// a name do not make it another.
bool ToolKeyPath(View path) {
  static const std::vector<Text> kToolBranch = [] {
    std::vector<Text> parts;
    const View tool(names::kToolKey);
    for (size_t start = 0; start <= tool.size();) {
      const size_t end = std::min(tool.find(u'\\', start), tool.size());
      parts.emplace_back(tool.substr(start, end - start));
      start = end + 1;
    }
    parts.pop_back();  // the version: every version of the tool's key is the tool's
    return parts;
  }();
  size_t level = 0;
  for (size_t start = 0; start <= path.size() && level < kToolBranch.size();) {
    const size_t end = std::min(path.find(u'\\', start), path.size());
    const View name = Trim(path.substr(start, end - start));
    start = end + 1;
    if (name.empty()) continue;
    if (!EqualsIgnoreAsciiCase(Text(name), kToolBranch[level])) return false;
    ++level;
  }
  return level == kToolBranch.size();
}

// wcstol: optional white space and sign, decimal digits; none give 0; out of range is clamped.
uint32_t ParseType(View text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (value <= int64_t{1} << 32) value = value * 10 + (text[i] - u'0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) value = std::numeric_limits<int32_t>::min();
  return static_cast<uint32_t>(static_cast<int32_t>(value));
}

// The writer puts a backslash before each double quote of a name; every other backslash is its own.
Text UnescapeName(View name) {
  Text out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == u'\\' && i + 1 < name.size() && name[i + 1] == u'"') continue;
    out += name[i];
  }
  return out;
}

enum class LineKind { Value, Malformed, Other };

struct ValueLine {
  Text name;
  uint32_t type = 0;
  View data;
};

LineKind ParseValueLine(View line, ValueLine& out) {
  const View marker(names::kHexValueMarker);
  size_t at = kNone;
  if (!line.empty() && line[0] == u'"') {
    // Data and type never hold a quote, so the last quote before a marker closes the name, even
    // for a name that holds the marker itself.
    static const Text kQuotedMarker = u'"' + Text(names::kHexValueMarker);
    const size_t quote = line.rfind(kQuotedMarker);
    if (quote != kNone && quote > 0) at = quote + 1;
  }
  if (at == kNone) at = line.find(marker);
  if (at == kNone) return LineKind::Other;
  const size_t colon = line.find(u':', at + 1);
  if (colon == kNone || at == 0) return LineKind::Malformed;
  if (line[at - 1] == u'"') {
    if (at < 2) return LineKind::Malformed;  // the only quote is the one that opens the line
    out.name = UnescapeName(line.substr(1, at - 2));
  } else {
    out.name.assign(line.substr(0, at - 1));  // "@=hex(" is the default value
  }
  out.type = ParseType(line.substr(at + kMarkerLength));
  out.data = line.substr(colon + 1);
  return LineKind::Value;
}

enum class BodyLine { Skip, Section, Entry };

// One line of the body, as the profile functions classify it. 'content' is the section's name or
// the entry line, trimmed.
BodyLine ClassifyLine(View raw, View& content) {
  const View line = Trim(raw);
  // Empty lines, comments and lines without a name before their '=' are no entries.
  if (line.empty() || line[0] == u';' || line[0] == u'=') return BodyLine::Skip;
  if (line[0] == u'[') {
    const size_t close = line.rfind(u']');
    if (close != kNone) {
      content = line.substr(1, close - 1);
      return BodyLine::Section;
    }
  }
  content = line;
  return BodyLine::Entry;
}

// Applies the body line by line. A section's values go to its key up to the section's first line
// that is not a typed hex value; sections outside the client's key are passed over. In a checking
// pass nothing is written: the values are only decoded and measured against the limits.
class SettingsApplier {
 public:
  // With an observer nothing is written: the observer hears of every value instead. A checking
  // pass ('write' false) writes nothing either.
  SettingsApplier(const SettingsLimits& limits, bool write, SettingsFileObserver* observer = nullptr)
      : limits_(limits), write_(write && !observer), observer_(observer) {}

  void Line(View raw) {
    if (exceeded_ != SettingsLimit::None) return;
    if (raw.size() > limits_.lineCharacters) return Exceed(SettingsLimit::LineLength);
    View content;
    switch (ClassifyLine(raw, content)) {
      case BodyLine::Skip: return;
      case BodyLine::Section: return BeginSection(content);
      case BodyLine::Entry: return Entry(content);
    }
  }

  // False when a value could not be written or a limit was exceeded.
  bool Finish() {
    ApplyPending();
    key_.Close();
    return ok_ && exceeded_ == SettingsLimit::None;
  }

  void Exceed(SettingsLimit limit) {
    if (exceeded_ == SettingsLimit::None) exceeded_ = limit;
  }
  SettingsLimit Exceeded() const { return exceeded_; }
  const SettingsLimits& Limits() const { return limits_; }

 private:
  void BeginSection(View name) {
    ApplyPending();
    key_.Close();  // created at the section's first value, so an empty section creates nothing
    active_ = ClientKeyPath(name, keyPath_) && !ToolKeyPath(keyPath_);
    if (!active_ && observer_) observer_->IgnoredSection(name);
    if (active_ && observer_) observer_->Key(keyPath_);
  }

  void Entry(View line) {
    if (!active_) return;
    if (continued_) return Continue(line);
    const LineKind kind = ParseValueLine(line, value_);
    if (kind == LineKind::Other) {
      active_ = false;  // the rest of the section is not read
      return;
    }
    if (kind == LineKind::Malformed) return;
    data_.assign(value_.data);
    if (EndsWithBackslash(data_)) {
      data_.pop_back();
      continued_ = true;
      return;
    }
    Apply();
  }

  // The registry editor wraps long hex data with a backslash at the end of a line. The writer
  // never does, and its data never ends in a backslash.
  void Continue(View line) {
    // A wrapped value's lines count as one line.
    if (data_.size() + line.size() > limits_.lineCharacters) return Exceed(SettingsLimit::LineLength);
    data_.append(line);
    if (EndsWithBackslash(data_)) {
      data_.pop_back();
      return;
    }
    continued_ = false;
    Apply();
  }

  void ApplyPending() {
    if (continued_) {
      continued_ = false;
      Apply();
    }
  }

  void Apply() {
    if (exceeded_ != SettingsLimit::None) return;
    bytes_.clear();
    DecodeHexInto(data_, bytes_);
    if (bytes_.size() > limits_.valueBytes) return Exceed(SettingsLimit::ValueSize);
    if (++values_ > limits_.values) return Exceed(SettingsLimit::ValueCount);
    dataBytes_ += bytes_.size();
    if (dataBytes_ > limits_.dataBytes) return Exceed(SettingsLimit::DataSize);
    if (observer_) observer_->Value(keyPath_, value_.name, value_.type, bytes_);
    if (!write_) return;
    if (!key_.IsOpen() && key_.Create(RegRoot::CurrentUser, keyPath_, kKeyWrite) != kSuccess) {
      ok_ = false;
      return;
    }
    static const uint8_t kEmpty = 0;
    if (SetValue(key_.Get(), value_.name, value_.type, bytes_.empty() ? &kEmpty : bytes_.data(),
                 static_cast<uint32_t>(bytes_.size())) != kSuccess) {
      ok_ = false;
    }
  }

  static bool EndsWithBackslash(const Text& text) { return !text.empty() && text.back() == u'\\'; }

  const SettingsLimits& limits_;
  const bool write_;
  SettingsFileObserver* observer_;
  SettingsLimit exceeded_ = SettingsLimit::None;
  uint64_t values_ = 0;
  uint64_t dataBytes_ = 0;
  bool ok_ = true;
  bool active_ = false;
  bool continued_ = false;
  Text keyPath_;
  RegistryKey key_;
  ValueLine value_;
  Text data_;
  std::vector<uint8_t> bytes_;
};

// The byte-order mark, then the header line with its CR LF, as they stand in the file.
std::vector<uint8_t> HeaderBytes() {
  Text header(names::kSettingsFileHeader);
  header += u"\r\n";
  std::vector<uint8_t> bytes{0xFF, 0xFE};
  for (char16_t c : header) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// Reads the file in pieces while holding it exclusively and hands each line of the body to the
// applier, so memory stays flat however large the file. False, with nothing applied, when the file
// cannot be read or does not begin with the byte-order mark and the header line.
bool ApplySettingsFile(const Text& path, SettingsApplier& applier) {
  File file;
  if (!file.Open(path, FileMode::ReadExclusive)) return false;
  uint64_t size = 0;
  if (!file.Size(&size)) return false;
  if (size > applier.Limits().fileBytes) {
    applier.Exceed(SettingsLimit::FileSize);
    return true;
  }
  const std::vector<uint8_t> header = HeaderBytes();
  std::vector<uint8_t> chunk(64 * 1024);
  size_t have = 0;
  while (have < header.size()) {
    size_t got = 0;
    if (!file.Read(chunk.data() + have, header.size() - have, &got)) return false;
    if (got == 0) return false;  // too short to hold the header
    have += got;
  }
  if (!std::equal(header.begin(), header.end(), chunk.begin())) return false;

  Text pending;  // the start of a line whose end has not been read yet
  bool odd = false;
  uint8_t low = 0;
  for (;;) {
    size_t got = 0;
    if (!file.Read(chunk.data(), chunk.size(), &got)) return false;
    if (got == 0) break;
    const size_t fresh = pending.size();  // no line end before this: a long line is searched once
    size_t i = 0;
    if (odd) {  // a character split between two reads
      pending += static_cast<char16_t>(low | (chunk[0] << 8));
      i = 1;
    }
    for (; i + 1 < got; i += 2) pending += static_cast<char16_t>(chunk[i] | (chunk[i + 1] << 8));
    odd = i < got;
    if (odd) low = chunk[i];
    size_t start = 0;
    for (size_t end, from = fresh; (end = pending.find(u'\n', from)) != Text::npos; from = start = end + 1) {
      applier.Line(View(pending).substr(start, end - start));
    }
    pending.erase(0, start);
    // A line is never held whole beyond the limit, however long the file makes it.
    if (pending.size() > applier.Limits().lineCharacters) applier.Exceed(SettingsLimit::LineLength);
    if (applier.Exceeded() != SettingsLimit::None) return true;
  }
  if (!pending.empty()) applier.Line(pending);  // the last line needs no line end; an odd last byte is no character
  return true;
}

}  // namespace

std::vector<SettingsSection> ParseSettingsBody(View body) {
  std::vector<SettingsSection> sections;
  for (size_t start = 0; start < body.size();) {
    size_t end = body.find(u'\n', start);
    if (end == kNone) end = body.size();
    View content;
    switch (ClassifyLine(body.substr(start, end - start), content)) {
      case BodyLine::Skip: break;
      case BodyLine::Section: sections.push_back(SettingsSection{content, {}}); break;
      case BodyLine::Entry:
        if (!sections.empty()) sections.back().lines.push_back(content);
        break;
    }
    start = end + 1;
  }
  return sections;
}

namespace {
bool FullPath(const Text& path, Text& fullPath) {
  fullPath = path;
  if (IsRelativePath(path)) {
    Text folder;
    if (!GetCurrentFolder(folder)) return false;
    AppendPath(folder, path);
    fullPath = CanonicalPath(folder);
  }
  return true;
}

// One pass over the whole file; false when it cannot be read or exceeds a limit ('exceeded' then
// names it), or when a value could not be written.
bool ReadSettingsFile(const Text& fullPath, SettingsApplier& applier, SettingsLimit* exceeded) {
  const bool read = ApplySettingsFile(fullPath, applier);
  const bool applied = applier.Finish();
  if (exceeded) *exceeded = applier.Exceeded();
  return read && applied;
}
}  // namespace

bool ImportSettingsFile(const Text& path, SettingsLimit* exceeded, const SettingsLimits& limits) {
  if (exceeded) *exceeded = SettingsLimit::None;
  Text fullPath;
  if (!FullPath(path, fullPath)) return false;
  // A first pass reads the whole file against the limits, so that a file beyond them changes nothing.
  SettingsApplier checker(limits, false);
  if (!ReadSettingsFile(fullPath, checker, exceeded)) return false;
  SettingsApplier applier(limits, true);
  return ReadSettingsFile(fullPath, applier, nullptr);
}

bool CheckSettingsFile(const Text& path, SettingsFileObserver& observer, SettingsLimit* exceeded) {
  if (exceeded) *exceeded = SettingsLimit::None;
  Text fullPath;
  if (!FullPath(path, fullPath)) return false;
  SettingsApplier applier(kSettingsLimits, false, &observer);
  return ReadSettingsFile(fullPath, applier, exceeded);
}

}  // namespace kbt
