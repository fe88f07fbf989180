#pragma once
// Test access to the in-memory registry of the native build.
namespace kbt::platform::substitute {

// Removes every key and value and closes nothing: handles still open keep working on detached keys.
void ClearRegistry();

}  // namespace kbt::platform::substitute
