#include "archive/backup_identity.h"

#include "archive/backup_archive.h"
#include "res/non_localizable.h"

namespace kbt {
namespace {

// %0Nd: at least `width` digits, zero-padded.
Text Padded(unsigned value, size_t width) {
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  if (digits.size() < width) digits.insert(0, width - digits.size(), u'0');
  return digits;
}

// The text from `position` up to the next LF (or the end); a missing line reads as empty.
Text NextLine(const Text& text, size_t& position) {
  if (position >= text.size()) return Text();
  const size_t end = text.find(u'\n', position);
  Text line = text.substr(position, end == Text::npos ? Text::npos : end - position);
  position = end == Text::npos ? text.size() : end + 1;
  return line;
}

}  // namespace

Text FormatBackupComment(const Text& comment, const platform::LocalTime& time) {
  Text text = names::kBackupMagic;
  text += u'\n';
  text += comment;
  text += u'\n';
  text += Padded(time.year, 4) + u'-' + Padded(time.month, 2) + u'-' + Padded(time.day, 2) + u'T' +
          Padded(time.hour, 2) + u':' + Padded(time.minute, 2) + u':' + Padded(time.second, 2) + u'Z';
  text += u'\n';
  return text;
}

bool ParseBackupTime(const Text& created, platform::LocalTime& time) {
  static constexpr char16_t kShape[] = u"dddd-dd-ddTdd:dd:ddZ";
  if (created.size() != sizeof kShape / sizeof kShape[0] - 1) return false;
  for (size_t i = 0; i < created.size(); ++i) {
    const bool digit = created[i] >= u'0' && created[i] <= u'9';
    if (kShape[i] == u'd' ? !digit : created[i] != kShape[i]) return false;
  }
  auto number = [&](size_t at, size_t digits) {
    uint16_t value = 0;
    for (size_t i = at; i < at + digits; ++i) value = static_cast<uint16_t>(value * 10 + (created[i] - u'0'));
    return value;
  };
  const platform::LocalTime parsed{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
  static constexpr uint16_t kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (parsed.year < 1601 || parsed.month < 1 || parsed.month > 12 || parsed.day < 1 ||
      parsed.day > kDays[parsed.month - 1] || parsed.hour > 23 || parsed.minute > 59 || parsed.second > 59)
    return false;
  time = parsed;
  return true;
}

bool ReadBackupIdentity(const Text& path, BackupIdentity& identity) {
  BackupArchiveReader reader;
  if (!reader.Open(path)) return false;
  Text comment;
  static_cast<void>(reader.ReadGlobalComment(comment));  // none, or unreadable: stays empty and is no backup
  reader.Close();

  size_t position = 0;
  if (NextLine(comment, position) != names::kBackupMagic) return false;
  identity.comment = NextLine(comment, position);
  identity.created = NextLine(comment, position);
  return true;
}

}  // namespace kbt
