#include "app/fault_exit_win32.h"

#include <windows.h>

#include <exception>

namespace kbt {
namespace {

LONG WINAPI ExitOnFault(EXCEPTION_POINTERS* pointers) {
  UINT code = kExitFault;
  if (pointers && pointers->ExceptionRecord && pointers->ExceptionRecord->ExceptionCode != 0) {
    code = pointers->ExceptionRecord->ExceptionCode;
  }
  ::TerminateProcess(::GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

// A stack overflow is never recoverable here, and the search for a handler up a stack that is
// used up may itself overflow (under Wine it does, and the process then ends with code 0): it ends
// the process before that search.
LONG WINAPI ExitOnStackOverflow(EXCEPTION_POINTERS* pointers) {
  if (pointers && pointers->ExceptionRecord && pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    ::TerminateProcess(::GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void ExitOnTerminate() {
  ::TerminateProcess(::GetCurrentProcess(), kExitFault);
  ::ExitProcess(kExitFault);
}

}  // namespace

void InstallFaultExit() {
  // The filter runs on the faulting thread's stack; after an overflow only this reserve is left.
  ULONG reserve = 64 * 1024;
  ::SetThreadStackGuarantee(&reserve);
  ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
  ::AddVectoredExceptionHandler(1, ExitOnStackOverflow);
  ::SetUnhandledExceptionFilter(ExitOnFault);
  std::set_terminate(ExitOnTerminate);
}

}  // namespace kbt
