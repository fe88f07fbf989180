#include "app/command_line.h"

#include "platform/texts.h"

namespace kbt {

std::vector<Text> SplitCommandLine(const Text& tail) {
  std::vector<Text> arguments;
  size_t i = 0;
  while (i < tail.size()) {
    if (tail[i] == u' ') {
      ++i;
    } else if (tail[i] == u'"') {
      const size_t close = tail.find(u'"', i + 1);
      const size_t end = close == Text::npos ? tail.size() : close;
      arguments.push_back(tail.substr(i + 1, end - i - 1));
      i = close == Text::npos ? tail.size() : close + 1;
    } else {
      size_t end = tail.find(u' ', i);
      if (end == Text::npos) end = tail.size();
      arguments.push_back(tail.substr(i, end - i));
      i = end;
    }
  }
  return arguments;
}

int32_t ParseLanguageNumber(const Text& text) {
  size_t i = 0;
  auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    auto hexDigit = i + 2 < text.size() ? text[i + 2] : u'\0';
    const bool isHex = (hexDigit >= u'0' && hexDigit <= u'9') || (LowerAscii(hexDigit) >= u'a' && LowerAscii(hexDigit) <= u'f');
    if (isHex) {
      base = 16;
      i += 2;
    } else {
      return 0;  // "0x" without digits reads as the 0 alone
    }
  } else if (i < text.size() && text[i] == u'0') {
    base = 8;
  }
  int64_t value = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const char16_t c = LowerAscii(text[i]);
    int digit = -1;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    if (c >= u'a' && c <= u'z') digit = c - u'a' + 10;
    if (digit < 0 || digit >= base) break;
    if (!overflow) {
      value = value * base + digit;
      if (value > int64_t{0x80000000}) overflow = true;
    }
  }
  if (negative) value = -value;
  if (overflow || value > INT32_MAX) return negative ? INT32_MIN : INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

bool ParseCommandLine(const Text& tail, OperationRequest& request, const std::function<void()>& showUsage) {
  const std::vector<Text> arguments = SplitCommandLine(tail);
  bool usageShown = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Text& argument = arguments[i];
    const bool hasNext = i + 1 < arguments.size();
    if (EqualsIgnoreAsciiCase(argument, u"/backup") || EqualsIgnoreAsciiCase(argument, u"/restore")) {
      request.SetMode(EqualsIgnoreAsciiCase(argument, u"/backup") ? OperationMode::Backup : OperationMode::Restore);
      if (hasNext) {
        request.ArchivePath = arguments[i + 1];
        request.SetUnattended(true);
      }
    } else if (EqualsIgnoreAsciiCase(argument, u"/verify")) {
      // Without a path there is nothing to check, which the check reports.
      request.SetMode(OperationMode::Verify);
      request.ArchivePath = hasNext ? arguments[i + 1] : Text();
      request.SetUnattended(true);
    } else if (EqualsIgnoreAsciiCase(argument, u"/reset")) {
      request.SetMode(OperationMode::Reset);
      request.SetUnattended(true);
    } else if (EqualsIgnoreAsciiCase(argument, u"/undo")) {
      request.SetMode(OperationMode::Undo);
      request.ArchivePath.clear();  // the newest undo point
      request.SetUnattended(true);
    } else if (EqualsIgnoreAsciiCase(argument, u"/noundo")) {
      request.UndoPointWanted = false;
    } else if (EqualsIgnoreAsciiCase(argument, u"/passwordfile")) {
      // The password itself is never on the command line, which other programs can read.
      if (hasNext) request.PasswordFile = arguments[++i];
    } else if (EqualsIgnoreAsciiCase(argument, u"/ignoreinterrupted")) {
      request.IgnoreInterrupted = true;
    } else if (StartsWithIgnoreAsciiCase(argument, u"/language=")) {
      const int32_t number = ParseLanguageNumber(argument.substr(10));
      platform::SetThreadLanguage(static_cast<uint16_t>(static_cast<uint32_t>(number) & 0xFFFF));
    } else if (argument == u"/?") {
      showUsage();
      usageShown = true;
    }
  }
  return usageShown;
}

}  // namespace kbt
