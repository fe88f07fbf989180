#pragma once
// The end of a process that meets a fault it does not handle.
namespace kbt {

// An uncaught C++ exception (std::terminate) ends the process with this code.
constexpr unsigned kExitFault = 3;

// From here on any fault the process does not handle ends it at once with a non-zero exit code,
// never 0 and never with a crash dialog: a structured exception (an access violation, a stack
// overflow) with the exception's own code, std::terminate with kExitFault. The calling thread keeps
// enough stack in reserve for that to work after a stack overflow too.
void InstallFaultExit();

}  // namespace kbt
