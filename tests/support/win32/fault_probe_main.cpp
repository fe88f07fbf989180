// faultprobe: installs the tool's fault exit and then faults as its argument says, so that a test
// can see the exit code a real fault gives:  faultprobe access | overflow | throw | none
#include <windows.h>

#include <stdexcept>
#include <string>

#include "app/fault_exit_win32.h"

namespace {

// Deeper than any stack (the depth never wraps to -1 before that); 'volatile' and the use of the
// result keep the compiler from turning the recursion into a loop.
int Recurse(volatile int depth) {
  if (depth == -1) return 0;
  volatile char frame[256];
  frame[depth % 256] = static_cast<char>(depth);
  return Recurse(depth + 1) + frame[0];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  kbt::InstallFaultExit();
  const std::wstring fault = argc > 1 ? argv[1] : L"none";
  if (fault == L"access") {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  } else if (fault == L"overflow") {
    return Recurse(0);
  } else if (fault == L"throw") {
    throw std::runtime_error("not caught");
  }
  return 0;
}
