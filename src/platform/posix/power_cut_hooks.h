#pragma once
// The files layer's side of platform/power_cut.h. Each hook does nothing unless a test installed it.
#include <string>

namespace kbt::platform::power_cut::hooks {

// One change to the disk is about to happen; false: the power has gone, it must fail.
bool Step(const char* what, const std::string& path, const std::string& other = std::string());
bool StepOnFile(const char* what, int fd);
// Before the bytes of an existing file change (written, truncated, replaced or removed).
void Track(const std::string& path);
void Created(const std::string& path);  // a new name, with no bytes flushed yet
void Linked(const std::string& path);   // a new name of an existing file's bytes
void Flushed(int fd);
// Before a rename over, or a removal of, 'path': keeps what it names until the cut.
std::string Keep(const std::string& path);
void Renamed(const std::string& from, const std::string& to, const std::string& kept);
void Removed(const std::string& path, const std::string& kept);
void MadeFolder(const std::string& path);
void RemovedFolder(const std::string& path);
// Every change so far is durable.
void Commit();

}  // namespace kbt::platform::power_cut::hooks
