#include "app/command_line.h"

#include "operations/result_log.h"
#include "platform/texts.h"
#include "res/resource.h"

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

namespace {

constexpr uint32_t kLanguageEnglish = 1033;
constexpr uint32_t kLanguageGerman = 1031;

// How a switch takes its value.
enum class Value {
  None,
  OptionalPath,  // the next argument, unless there is none or it is a switch itself
  RequiredPath,  // the same, and a switch without it is an error
  AfterEquals    // "/name=value" in the one argument
};

struct Parsing {
  OperationRequest& request;
  CommandLine& line;
};

struct Switch {
  const char16_t* name;
  Value value;
  // False when the value cannot be used; line.problem then says why.
  bool (*apply)(Parsing& parsing, const Text& value, bool hasValue);
};

bool ApplyOperationWithPath(Parsing& parsing, OperationMode mode, const Text& path, bool hasPath) {
  parsing.request.SetMode(mode);
  // Without a path the wizard opens with this operation chosen.
  if (hasPath) {
    parsing.request.ArchivePath = path;
    parsing.request.SetUnattended(true);
  }
  return true;
}

bool ApplyLanguage(Parsing& parsing, const Text& value, bool) {
  uint32_t language = 0;
  if (EqualsIgnoreAsciiCase(value, u"en")) {
    language = kLanguageEnglish;
  } else if (EqualsIgnoreAsciiCase(value, u"de")) {
    language = kLanguageGerman;
  } else {
    // A number names a locale; any English or German one picks that table. Another locale's number
    // is taken as it always was: its code page applies, and the texts are the English ones.
    const int32_t number = ParseLanguageNumber(value);
    const uint32_t primary = static_cast<uint32_t>(number) & 0x3FF;
    if (number > 0 && number <= 0xFFFF) language = static_cast<uint32_t>(number);
    if (primary == (kLanguageEnglish & 0x3FF)) language = kLanguageEnglish;
    if (primary == (kLanguageGerman & 0x3FF)) language = kLanguageGerman;
  }
  if (language == 0) {
    parsing.line.problem = FormatText(platform::LoadText(IDS_UNKNOWN_LANGUAGE), {value});
    return false;
  }
  platform::SetThreadLanguage(language);
  return true;
}

constexpr Switch kSwitches[] = {
    {u"/backup", Value::OptionalPath,
     [](Parsing& p, const Text& v, bool has) { return ApplyOperationWithPath(p, OperationMode::Backup, v, has); }},
    {u"/restore", Value::OptionalPath,
     [](Parsing& p, const Text& v, bool has) { return ApplyOperationWithPath(p, OperationMode::Restore, v, has); }},
    {u"/verify", Value::OptionalPath,
     [](Parsing& p, const Text& v, bool) {
       // Without a path the check runs and says that it has nothing to check.
       p.request.SetMode(OperationMode::Verify);
       p.request.ArchivePath = v;
       p.request.SetUnattended(true);
       return true;
     }},
    {u"/reset", Value::None,
     [](Parsing& p, const Text&, bool) {
       p.request.SetMode(OperationMode::Reset);
       p.request.SetUnattended(true);
       return true;
     }},
    {u"/undo", Value::None,
     [](Parsing& p, const Text&, bool) {
       p.request.SetMode(OperationMode::Undo);
       p.request.ArchivePath.clear();  // the newest undo point
       p.request.SetUnattended(true);
       return true;
     }},
    {u"/noundo", Value::None,
     [](Parsing& p, const Text&, bool) {
       p.request.UndoPointWanted = false;
       return true;
     }},
    {u"/ignoreinterrupted", Value::None,
     [](Parsing& p, const Text&, bool) {
       p.request.IgnoreInterrupted = true;
       return true;
     }},
    // The password itself is never on the command line, which other programs can read.
    {u"/passwordfile", Value::RequiredPath,
     [](Parsing& p, const Text& v, bool) {
       p.request.PasswordFile = v;
       return true;
     }},
    {u"/log", Value::RequiredPath,
     [](Parsing& p, const Text& v, bool) {
       p.line.logPath = v;
       return true;
     }},
    {u"/language", Value::AfterEquals, ApplyLanguage},
};

// The switch the argument is, or null.
const Switch* FindSwitch(const Text& argument) {
  for (const Switch& entry : kSwitches) {
    const Text name(entry.name);
    if (entry.value == Value::AfterEquals ? StartsWithIgnoreAsciiCase(argument, name + u'=')
                                          : EqualsIgnoreAsciiCase(argument, name)) {
      return &entry;
    }
  }
  return nullptr;
}

bool IsSwitch(const Text& argument) { return argument == u"/?" || FindSwitch(argument) != nullptr; }

}  // namespace

CommandLine ParseCommandLine(const Text& tail, OperationRequest& request, const std::function<void()>& showUsage) {
  CommandLine line;
  Parsing parsing{request, line};
  const std::vector<Text> arguments = SplitCommandLine(tail);
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Text& argument = arguments[i];
    if (argument == u"/?") {
      showUsage();
      line.usageShown = true;
      continue;
    }
    const Switch* entry = FindSwitch(argument);
    if (!entry) {
      const bool looksLikeSwitch = !argument.empty() && (argument[0] == u'/' || argument[0] == u'-');
      line.problem = FormatText(platform::LoadText(looksLikeSwitch ? IDS_UNKNOWN_SWITCH : IDS_STRAY_ARGUMENT), {argument});
      return line;
    }
    Text value;
    bool hasValue = false;
    if (entry->value == Value::AfterEquals) {
      value = argument.substr(Text(entry->name).size() + 1);
      hasValue = true;
    } else if (entry->value != Value::None && i + 1 < arguments.size() && !IsSwitch(arguments[i + 1])) {
      value = arguments[++i];
      hasValue = true;
    }
    if (entry->value == Value::RequiredPath && !hasValue) {
      line.problem = FormatText(platform::LoadText(IDS_SWITCH_NEEDS_PATH), {Text(entry->name)});
      return line;
    }
    if (!entry->apply(parsing, value, hasValue)) return line;
  }
  return line;
}

Text CommandLineForLog(const Text& tail) {
  Text shown;
  for (const Text& argument : SplitCommandLine(tail)) {
    if (!shown.empty()) shown += u' ';
    const bool quoted = argument.empty() || argument.find(u' ') != Text::npos;
    shown += quoted ? u'"' + argument + u'"' : argument;
  }
  return shown;
}

}  // namespace kbt
