#include "platform/codepage.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
namespace {
[[noreturn]] void ThrowLastError() {
  const DWORD error = ::GetLastError();
  throw SystemError(error == ERROR_NOT_ENOUGH_MEMORY ? static_cast<long>(E_OUTOFMEMORY)
                                                     : static_cast<long>(HRESULT_FROM_WIN32(error)));
}
}  // namespace

std::string Narrow(const Text& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, win32::W(text), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) ThrowLastError();
  std::string out(static_cast<size_t>(needed), '\0');
  if (::WideCharToMultiByte(CP_THREAD_ACP, 0, win32::W(text), length, &out[0], needed, nullptr, nullptr) <= 0)
    ThrowLastError();
  return out;
}

Text Widen(const std::string& narrow) {
  const std::string text = narrow.substr(0, narrow.find('\0'));
  if (text.empty()) return Text();
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) ThrowLastError();
  std::wstring out(static_cast<size_t>(needed), L'\0');
  if (::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, &out[0], needed) <= 0) ThrowLastError();
  return win32::FromW(out.c_str(), out.size());
}

}  // namespace kbt::platform
