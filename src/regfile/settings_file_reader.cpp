#include "regfile/settings_file_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "regfile/key_path.h"
#include "regfile/registry_key.h"
#include "regfile/settings_key_list.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

namespace {

using View = std::u16string_view;
constexpr size_t kNone = View::npos;

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
// plant values anywhere else (a Run key, another program's settings) nor in the tool's own branch
// (an archive must not choose the wizard's proposals). The root's name is matched without regard
// to letter case, as the registry editor matches it.
bool ClientKeyPath(View section, Text& keyPath) {
  const View root(names::kRootCurrentUser);
  if (section.size() <= root.size() || section[root.size()] != u'\\' ||
      !EqualsIgnoreAsciiCase(Text(section.substr(0, root.size())), Text(root))) {
    return false;
  }
  const Text path(section.substr(root.size() + 1));
  // A name that begins with a separator is no key the registry editor opens.
  if (path.empty() || path[0] == u'\\' || !IsClientKey(path)) return false;
  keyPath = path;
  return true;
}

// The writer writes a section for the top key and for each listed key whether or not the key
// exists, but one for a key below a listed key only when that key exists: only such a section
// says, without values, that its key was there.
bool SectionShowsKey(const Text& keyPath) {
  static const SettingsKeyList listed;
  return std::any_of(listed.begin(), listed.end(), [&](const Text& key) {
    return IsKeySameOrBelow(keyPath, key) && NormalKeyPath(keyPath).size() > NormalKeyPath(key).size();
  });
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  c = static_cast<char16_t>(c | 0x20);
  return c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
}

// The data of a line ends at a comment; blanks before it do not count.
View StripComment(View text) {
  text = text.substr(0, std::min(text.find(u';'), text.size()));
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool OnlyComment(View text) { return StripComment(Trim(text)).empty(); }

bool StartsWith(View text, View prefix) { return text.substr(0, prefix.size()) == prefix; }

// The writer's decimal type: white space and a sign allowed, digits up to the ')', within 32 bits
// (signed as the writer puts it, or unsigned).
bool ParseType(View text, uint32_t& type) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i == text.size()) return false;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    value = value * 10 + (text[i] - u'0');
    if (value > int64_t{std::numeric_limits<uint32_t>::max()}) return false;
  }
  if (negative && value > int64_t{1} << 31) return false;
  type = static_cast<uint32_t>(negative ? -value : value);
  return true;
}

// The writer puts a backslash before each double quote of a name; every other backslash is its own.
// False for a quote without that backslash: the writer never leaves one.
bool UnescapeName(View name, Text& out) {
  out.clear();
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == u'\\' && i + 1 < name.size() && name[i + 1] == u'"') continue;
    if (name[i] == u'"' && (i == 0 || name[i - 1] != u'\\')) return false;
    out += name[i];
  }
  return true;
}

// The registry editor's quoted text: "\\" and "\"" are its escapes. 'at' is just after the opening
// quote and ends just after the closing one; false when the text is not closed or holds another
// escape.
bool ReadQuoted(View line, size_t& at, Text& out) {
  out.clear();
  while (at < line.size()) {
    const char16_t c = line[at++];
    if (c == u'"') return true;
    if (c == u'\\') {
      if (at == line.size() || (line[at] != u'\\' && line[at] != u'"')) return false;
      out += line[at++];
    } else {
      out += c;
    }
  }
  return false;
}

// A piece of hex data, as it stands on one line: false when it is no list of bytes, or when it is
// wrapped ('continued') anywhere but after a comma.
bool HexPiece(View text, std::vector<uint8_t>& bytes, bool& continued) {
  text = StripComment(text);
  continued = !text.empty() && text.back() == u'\\';
  if (continued) {
    text.remove_suffix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.back() != u',') return false;
  }
  return DecodeHex(text, bytes);
}

struct ValueLine {
  Text name;
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
  bool continued = false;  // hex data that goes on in the next line
};

// One value line of an applied section, in any of the registry editor's forms: "name" or @, then
// "=" and a quoted text, dword:, hex: or hex(N): with the writer's decimal N.
SettingsProblemKind ParseValueLine(View line, ValueLine& out) {
  out.bytes.clear();
  out.continued = false;
  size_t at = 0;
  if (line[0] == u'@') {
    out.name.clear();
    at = 1;
  } else if (line[0] == u'"') {
    // The writer's own lines first: type and data never hold a quote, so the last quote before a
    // marker closes the name, even for a name that holds the marker itself.
    static const Text kQuotedMarker = u'"' + Text(names::kHexValueMarker);
    const size_t quote = line.rfind(kQuotedMarker);
    if (quote != kNone && quote > 0 && line.find(u'"', quote + 1) == kNone &&
        UnescapeName(line.substr(1, quote - 1), out.name)) {
      at = quote + 1;
    } else {
      at = 1;
      if (!ReadQuoted(line, at, out.name)) return SettingsProblemKind::UnknownLine;
    }
  } else {
    return SettingsProblemKind::UnknownLine;
  }
  if (at == line.size() || line[at] != u'=') return SettingsProblemKind::UnknownLine;
  const View value = line.substr(at + 1);

  if (!value.empty() && value[0] == u'-' && StripComment(value) == u"-") return SettingsProblemKind::Deletion;
  if (!value.empty() && value[0] == u'"') {
    size_t end = 1;
    Text text;
    if (!ReadQuoted(value, end, text) || !OnlyComment(value.substr(end))) return SettingsProblemKind::BadString;
    out.type = kRegSz;
    for (char16_t c : text + u'\0') {
      out.bytes.push_back(static_cast<uint8_t>(c));
      out.bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return SettingsProblemKind::None;
  }
  const View dword(names::kDwordValuePrefix);
  if (StartsWith(value, dword)) {
    const View digits = StripComment(value.substr(dword.size()));
    uint32_t number = 0;
    if (digits.empty() || digits.size() > 8) return SettingsProblemKind::BadDword;
    for (char16_t c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return SettingsProblemKind::BadDword;
      number = number << 4 | uint32_t(digit);
    }
    out.type = kRegDword;
    for (int shift = 0; shift < 32; shift += 8) out.bytes.push_back(static_cast<uint8_t>(number >> shift));
    return SettingsProblemKind::None;
  }
  View data;
  const View binary(names::kBinaryValuePrefix);
  const View marker(names::kHexValueMarker);
  if (StartsWith(value, binary)) {
    out.type = kRegBinary;
    data = value.substr(binary.size());
  } else if (StartsWith(value, marker.substr(1))) {
    const size_t open = marker.size() - 1, close = value.find(u')', open);
    if (close == kNone || !ParseType(value.substr(open, close - open), out.type)) return SettingsProblemKind::BadType;
    if (close + 1 == value.size() || value[close + 1] != u':') return SettingsProblemKind::UnknownLine;
    data = value.substr(close + 2);
  } else {
    return SettingsProblemKind::UnknownLine;
  }
  return HexPiece(data, out.bytes, out.continued) ? SettingsProblemKind::None : SettingsProblemKind::BadHex;
}

enum class BodyLine { Skip, Nameless, Section, Entry };

// One line of the body, as the profile functions classify it. 'content' is the section's name or
// the entry line, trimmed.
BodyLine ClassifyLine(View line, View& content) {
  // Empty lines and comments are no entries; nor, to the profile functions, lines without a name
  // before their '='.
  if (line.empty() || line[0] == u';') return BodyLine::Skip;
  if (line[0] == u'=') return BodyLine::Nameless;
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

// Applies the body line by line: every section of the client's key creates its key and writes its
// values; sections outside it are passed over. Anything that is not applied as the registry
// editor would apply it stops the reading with a problem. In a checking pass nothing is written:
// the values are only decoded and measured against the limits.
class SettingsApplier {
 public:
  // With an observer nothing is written: the observer hears of every key and value instead. A
  // checking pass ('write' false) writes nothing either.
  SettingsApplier(const SettingsLimits& limits, bool write, SettingsFileObserver* observer = nullptr)
      : limits_(limits), write_(write && !observer), observer_(observer) {}

  // Each line of the file after the byte-order mark, in order.
  void Line(View raw) {
    ++lineNumber_;
    if (Stopped()) return;
    if (raw.size() > limits_.lineCharacters) return Exceed(SettingsLimit::LineLength);
    const View line = Trim(raw);
    if (!header_) {
      if (line.empty()) return;  // the registry editor lets blank lines stand before its header
      if (line != View(names::kSettingsFileHeader)) return Refuse(SettingsProblemKind::NoHeader);
      header_ = true;
      return;
    }
    if (value_.continued) return Continue(line);
    View content;
    switch (ClassifyLine(line, content)) {
      case BodyLine::Skip: return;
      case BodyLine::Section: return BeginSection(line, content);
      case BodyLine::Nameless:
      case BodyLine::Entry: return Entry(line);
    }
  }

  // False when a key or value could not be written, the file was refused or a limit exceeded.
  bool Finish() {
    if (!Stopped()) {
      if (!header_) Refuse(SettingsProblemKind::NoHeader, lineNumber_ ? lineNumber_ : 1);
      if (value_.continued) Refuse(SettingsProblemKind::UnfinishedValue, valueLine_);
    }
    key_.Close();
    return ok_ && !Stopped();
  }

  void Exceed(SettingsLimit limit) {
    if (exceeded_ == SettingsLimit::None) exceeded_ = limit;
  }
  bool Stopped() const { return exceeded_ != SettingsLimit::None || problem_.kind != SettingsProblemKind::None; }
  SettingsLimit Exceeded() const { return exceeded_; }
  const SettingsFileProblem& Problem() const { return problem_; }
  const SettingsLimits& Limits() const { return limits_; }
  void Refuse(SettingsProblemKind kind) { Refuse(kind, lineNumber_); }

 private:
  void Refuse(SettingsProblemKind kind, uint64_t line) {
    if (!Stopped()) problem_ = SettingsFileProblem{kind, line};
  }

  void BeginSection(View line, View name) {
    key_.Close();
    active_ = false;
    if (!OnlyComment(line.substr(line.rfind(u']') + 1))) return Refuse(SettingsProblemKind::UnknownLine);
    // A restore only merges: a file that asks for a key to go is not applied at all.
    if (!name.empty() && name[0] == u'-') return Refuse(SettingsProblemKind::Deletion);
    active_ = ClientKeyPath(name, keyPath_);
    keyTold_ = false;
    if (!active_) {
      if (observer_) observer_->IgnoredSection(name);
      return;
    }
    // The client's empty sub-keys come back too; other keys only with a value.
    if (SectionShowsKey(keyPath_)) OpenKey();
  }

  // The section's key is told and created once, before its first value.
  void OpenKey() {
    if (keyTold_) return;
    keyTold_ = true;
    if (observer_) observer_->Key(keyPath_);
    if (write_ && key_.Create(RegRoot::CurrentUser, keyPath_, kKeyWrite) != kSuccess) ok_ = false;
  }

  void Entry(View line) {
    if (!active_) return;
    const SettingsProblemKind problem = ParseValueLine(line, value_);
    if (problem != SettingsProblemKind::None) return Refuse(problem);
    valueLine_ = lineNumber_;
    wrappedCharacters_ = line.size();
    if (!value_.continued) Apply();
  }

  // The registry editor wraps long hex data with a backslash at the end of a line; blank and
  // comment lines may stand between the pieces. The writer never wraps.
  void Continue(View line) {
    if (line.empty() || line[0] == u';') return;
    // A wrapped value's lines count as one line.
    wrappedCharacters_ += line.size();
    if (wrappedCharacters_ > limits_.lineCharacters) return Exceed(SettingsLimit::LineLength);
    if (line[0] == u'[') return Refuse(SettingsProblemKind::UnfinishedValue, valueLine_);
    if (!HexPiece(line, value_.bytes, value_.continued)) return Refuse(SettingsProblemKind::BadHex);
    if (value_.bytes.size() > limits_.valueBytes) return Exceed(SettingsLimit::ValueSize);
    if (!value_.continued) Apply();
  }

  void Apply() {
    const std::vector<uint8_t>& bytes = value_.bytes;
    if (bytes.size() > limits_.valueBytes) return Exceed(SettingsLimit::ValueSize);
    if (++values_ > limits_.values) return Exceed(SettingsLimit::ValueCount);
    dataBytes_ += bytes.size();
    if (dataBytes_ > limits_.dataBytes) return Exceed(SettingsLimit::DataSize);
    OpenKey();
    if (observer_) observer_->Value(keyPath_, value_.name, value_.type, bytes);
    if (!write_ || !key_.IsOpen()) return;
    static const uint8_t kEmpty = 0;
    if (SetValue(key_.Get(), value_.name, value_.type, bytes.empty() ? &kEmpty : bytes.data(),
                 static_cast<uint32_t>(bytes.size())) != kSuccess) {
      ok_ = false;
    }
  }

  const SettingsLimits& limits_;
  const bool write_;
  SettingsFileObserver* observer_;
  SettingsLimit exceeded_ = SettingsLimit::None;
  SettingsFileProblem problem_;
  uint64_t lineNumber_ = 0;
  uint64_t valueLine_ = 0;  // where the value being read began
  size_t wrappedCharacters_ = 0;
  uint64_t values_ = 0;
  uint64_t dataBytes_ = 0;
  bool ok_ = true;
  bool header_ = false;
  bool active_ = false;
  bool keyTold_ = false;  // the section's key was told and created
  Text keyPath_;
  RegistryKey key_;
  ValueLine value_;
};

// Reads the file in pieces while holding it exclusively and hands each line after the byte-order
// mark to the applier, so memory stays flat however large the file. False when the file cannot be
// read.
bool ApplySettingsFile(const Text& path, SettingsApplier& applier) {
  File file;
  if (!file.Open(path, FileMode::ReadExclusive)) return false;
  uint64_t size = 0;
  if (!file.Size(&size)) return false;
  if (size > applier.Limits().fileBytes) {
    applier.Exceed(SettingsLimit::FileSize);
    return true;
  }
  std::vector<uint8_t> chunk(64 * 1024);
  size_t have = 0;
  while (have < 2) {
    size_t got = 0;
    if (!file.Read(chunk.data() + have, 2 - have, &got)) return false;
    if (got == 0) break;
    have += got;
  }
  if (have < 2 || chunk[0] != 0xFF || chunk[1] != 0xFE) {
    applier.Refuse(SettingsProblemKind::NotUnicode);
    return true;
  }

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
    if (applier.Stopped()) return true;
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
    switch (ClassifyLine(Trim(body.substr(start, end - start)), content)) {
      case BodyLine::Skip:
      case BodyLine::Nameless: break;
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

// One pass over the whole file; false when it cannot be read, is refused ('problem' then says why)
// or exceeds a limit ('exceeded' then names it), or when a key or value could not be written.
bool ReadSettingsFile(const Text& fullPath, SettingsApplier& applier, SettingsLimit* exceeded,
                      SettingsFileProblem* problem) {
  const bool read = ApplySettingsFile(fullPath, applier);
  const bool applied = applier.Finish();
  if (exceeded) *exceeded = applier.Exceeded();
  if (problem) *problem = applier.Problem();
  return read && applied;
}
}  // namespace

bool ImportSettingsFile(const Text& path, SettingsLimit* exceeded, const SettingsLimits& limits,
                        SettingsFileProblem* problem) {
  if (exceeded) *exceeded = SettingsLimit::None;
  if (problem) *problem = SettingsFileProblem{};
  Text fullPath;
  if (!FullPath(path, fullPath)) return false;
  // A first pass reads the whole file against the limits and the rules, so that a file beyond
  // them changes nothing.
  SettingsApplier checker(limits, false);
  if (!ReadSettingsFile(fullPath, checker, exceeded, problem)) return false;
  SettingsApplier applier(limits, true);
  return ReadSettingsFile(fullPath, applier, nullptr, nullptr);
}

bool CheckSettingsFile(const Text& path, SettingsFileObserver& observer, SettingsLimit* exceeded,
                       SettingsFileProblem* problem) {
  if (exceeded) *exceeded = SettingsLimit::None;
  if (problem) *problem = SettingsFileProblem{};
  Text fullPath;
  if (!FullPath(path, fullPath)) return false;
  SettingsApplier applier(kSettingsLimits, false, &observer);
  return ReadSettingsFile(fullPath, applier, exceeded, problem);
}

}  // namespace kbt
