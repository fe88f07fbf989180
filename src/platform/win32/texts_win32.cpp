#include "platform/texts.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
namespace {
LANGID g_language = 0;

// String tables live in blocks of 16 counted strings; reading the block of the chosen language
// works on every Windows, where LoadStringW follows the UI language rather than the thread locale.
bool LoadTextIn(LANGID language, unsigned id, Text& text) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW((id >> 4) + 1), language);
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(module, found);
  const wchar_t* block = loaded ? static_cast<const wchar_t*>(::LockResource(loaded)) : nullptr;
  if (!block) return false;
  const wchar_t* end = block + ::SizeofResource(module, found) / sizeof(wchar_t);
  for (unsigned index = 0; index < (id & 15); ++index) {
    if (block >= end) return false;
    block += 1 + *block;
  }
  if (block >= end || block + 1 + *block > end) return false;
  text = win32::FromW(block + 1, *block);
  return *block != 0;
}
}  // namespace

void SetThreadLanguage(uint32_t locale) {
  const LCID lcid = static_cast<LCID>(locale & 0xFFFF);
  // Windows refuses what is no locale; Wine accepts some of those, so ask first.
  if (!::IsValidLocale(lcid, LCID_SUPPORTED) || !::SetThreadLocale(lcid)) return;
  const LANGID language = LANGIDFROMLCID(lcid);
  using SetUiLanguage = LANGID(WINAPI*)(LANGID);
  if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
    auto set = reinterpret_cast<SetUiLanguage>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadUILanguage")));
    if (set) set(language);
  }
  g_language = language;
}

uint16_t ChosenLanguage() { return g_language; }

Text LoadText(unsigned id) {
  Text text;
  if (g_language != 0 && LoadTextIn(g_language, id, text)) return text;
  wchar_t* resource = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&resource), 0);
  if (length <= 0 || resource == nullptr) return Text();
  return win32::FromW(resource, static_cast<size_t>(length));
}

Text ErrorText(long code) {
  if (code == 0) return Text();
  wchar_t* message = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = 0;
  for (LANGID language : {g_language, LANGID{0}}) {
    length = ::FormatMessageW(flags, nullptr, static_cast<DWORD>(code), language, reinterpret_cast<wchar_t*>(&message),
                              0, nullptr);
    if (length != 0) break;
  }
  if (length == 0 || !message) return Text();
  Text text = win32::FromW(message, length);
  ::LocalFree(message);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace kbt::platform
