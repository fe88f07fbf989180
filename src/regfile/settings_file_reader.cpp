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

// Reads the whole file while holding it exclusively. False when it cannot be read or does not
// begin with the byte-order mark and the header line; nothing of it is applied then.
bool ReadSettingsText(const Text& path, Text& body) {
  File file;
  if (!file.Open(path, FileMode::ReadExclusive)) return false;
  const std::vector<uint8_t> header = HeaderBytes();
  std::vector<uint8_t> bytes;
  constexpr size_t kChunk = 64 * 1024;
  bool headerChecked = false;
  for (;;) {
    const size_t at = bytes.size();
    bytes.resize(at + kChunk);
    size_t got = 0;
    if (!file.Read(bytes.data() + at, kChunk, &got)) return false;
    bytes.resize(at + got);
    if (!headerChecked && bytes.size() >= header.size()) {
      // Another program's file is refused before the rest of it is read.
      if (!std::equal(header.begin(), header.end(), bytes.begin())) return false;
      headerChecked = true;
    }
    if (got == 0) break;
  }
  file.Close();
  if (!headerChecked) return false;  // too short to hold the header

  body.resize((bytes.size() - 2) / 2);  // an odd last byte is no character
  for (size_t i = 0; i < body.size(); ++i) {
    body[i] = static_cast<char16_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
  }
  return true;
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
    const size_t quote = line.rfind(u"\"=hex(");
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

// The registry editor wraps long hex data with a backslash at the end of a line; the pieces are
// joined again. The writer never wraps, and its data never ends in a backslash.
View JoinContinuations(const std::vector<View>& lines, size_t& index, View data, Text& joined) {
  if (data.empty() || data.back() != u'\\') return data;
  joined.assign(data.substr(0, data.size() - 1));
  while (index + 1 < lines.size()) {
    const View next = lines[++index];
    if (!next.empty() && next.back() == u'\\') {
      joined.append(next.substr(0, next.size() - 1));
      continue;
    }
    joined.append(next);
    break;
  }
  return joined;
}

// Writes the section's value lines up to its first line that is not a typed hex value.
bool ApplySection(const SettingsSection& section, const Text& keyPath) {
  bool ok = true;
  RegistryKey key;  // created at the section's first value, so an empty section creates nothing
  ValueLine value;
  Text joined;
  std::vector<uint8_t> data;
  for (size_t i = 0; i < section.lines.size(); ++i) {
    const LineKind kind = ParseValueLine(section.lines[i], value);
    if (kind == LineKind::Other) break;
    if (kind == LineKind::Malformed) continue;
    const View text = JoinContinuations(section.lines, i, value.data, joined);
    if (!key.IsOpen() && key.Create(RegRoot::CurrentUser, keyPath, kKeyWrite) != kSuccess) {
      ok = false;
      continue;
    }
    data.clear();
    DecodeHexInto(text, data);
    static const uint8_t kEmpty = 0;
    if (SetValue(key.Get(), value.name, value.type, data.empty() ? &kEmpty : data.data(),
                 static_cast<uint32_t>(data.size())) != kSuccess) {
      ok = false;
    }
  }
  return ok;
}

}  // namespace

std::vector<SettingsSection> ParseSettingsBody(View body) {
  std::vector<SettingsSection> sections;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find(u'\n', start);
    if (end == kNone) end = body.size();
    const View line = Trim(body.substr(start, end - start));
    start = end + 1;
    // Empty lines, comments and lines without a name before their '=' are no entries.
    if (line.empty() || line[0] == u';' || line[0] == u'=') continue;
    if (line[0] == u'[') {
      const size_t close = line.rfind(u']');
      if (close != kNone) {
        sections.push_back(SettingsSection{line.substr(1, close - 1), {}});
        continue;
      }
    }
    if (!sections.empty()) sections.back().lines.push_back(line);
  }
  return sections;
}

bool ImportSettingsFile(const Text& path) {
  Text fullPath = path;
  if (IsRelativePath(path)) {
    Text folder;
    if (!GetCurrentFolder(folder)) return false;
    AppendPath(folder, path);
    fullPath = CanonicalPath(folder);
  }
  Text body;
  if (!ReadSettingsText(fullPath, body)) return false;

  bool ok = true;
  Text keyPath;
  for (const SettingsSection& section : ParseSettingsBody(body)) {
    if (!ClientKeyPath(section.name, keyPath)) continue;
    if (!ApplySection(section, keyPath)) ok = false;
  }
  return ok;
}

}  // namespace kbt
