#include "support/test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/key_path.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace kbt::testing {
using namespace platform;

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  Text temp;
  EXPECT_TRUE(GetTempFolder(temp));
  std::random_device random;
  for (;;) {
    Text candidate = temp;
    AppendPath(candidate, FromUtf8("kbt-test-" + std::to_string(random() % 1000000) + "-" + std::to_string(counter++)));
    if (MakeDirectory(candidate) == kSuccess) {
      path_ = candidate;
      break;
    }
  }
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

Text ScratchFolder::operator/(const Text& name) const {
  Text out = path_;
  AppendPath(out, name);
  return out;
}

bool WriteBytes(const Text& path, const std::vector<uint8_t>& bytes) {
  File file;
  if (!file.Open(path, FileMode::CreateAlways)) return false;
  return (bytes.empty() || file.Write(bytes.data(), bytes.size())) && file.Close();
}

bool WriteText(const Text& path, const std::string& text) {
  return WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadBytes(const Text& path) {
  std::vector<uint8_t> out;
  File file;
  if (!file.Open(path, FileMode::ReadShared)) return out;
  uint8_t buffer[65536];
  size_t got = 0;
  while (file.Read(buffer, sizeof buffer, &got) && got > 0) out.insert(out.end(), buffer, buffer + got);
  return out;
}

bool SetCurrentFolder(const Text& folder) {
#ifdef _WIN32
  return ::SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str())) != FALSE;
#else
  return ::chdir(ToUtf8(folder).c_str()) == 0;
#endif
}

bool FileExists(const Text& path) {
  uint32_t attributes = 0;
  return GetAttributes(path, &attributes) && !(attributes & kAttributeDirectory);
}

void RemoveTree(const Text& path) {
  if (path.empty()) return;
#ifdef _WIN32
  std::wstring from(reinterpret_cast<const wchar_t*>(path.c_str()));
  // Clear read-only flags set by tests, then remove the tree.
  WIN32_FIND_DATAW data;
  std::vector<std::wstring> stack{from};
  std::vector<std::wstring> folders;
  while (!stack.empty()) {
    std::wstring folder = stack.back();
    stack.pop_back();
    folders.push_back(folder);
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        stack.push_back(full);
      } else {
        ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) ::RemoveDirectoryW(it->c_str());
#else
  std::error_code ignored;
  std::filesystem::path root(ToUtf8(path));
  for (auto& entry : std::filesystem::recursive_directory_iterator(root, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(root, ignored);
#endif
}

bool FolderIsEmpty(const Text& folder) {
#ifdef _WIN32
  WIN32_FIND_DATAW data;
  std::wstring pattern = std::wstring(reinterpret_cast<const wchar_t*>(folder.c_str())) + L"\\*";
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") empty = false;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return empty;
#else
  std::error_code error;
  return std::filesystem::is_directory(ToUtf8(folder), error) && std::filesystem::is_empty(ToUtf8(folder), error);
#endif
}

// A key that is not there is as a test wants it.
void DeleteKey(const Text& path) { static_cast<void>(DeleteKeyTree(RegRoot::CurrentUser, path)); }

bool KeyExists(const Text& path) {
  RegistryKey key;
  return key.Open(RegRoot::CurrentUser, path, kKeyRead) == kSuccess;
}

void SeedValue(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) {
  RegistryKey key;
  ASSERT_EQ(key.Create(RegRoot::CurrentUser, keyPath, kKeyReadWrite), kSuccess);
  ASSERT_EQ(platform::SetValue(key.Get(), name, type, data.data(), static_cast<uint32_t>(data.size())), kSuccess);
}

std::vector<uint8_t> StringBytes(const Text& text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.c_str());
  return std::vector<uint8_t>(bytes, bytes + (text.size() + 1) * 2);
}

void SeedString(const Text& key, const Text& name, const Text& text, uint32_t type) {
  SeedValue(key, name, type, StringBytes(text));
}

void SeedDword(const Text& key, const Text& name, uint32_t value) {
  SeedValue(key, name, kRegDword,
           {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)});
}

StoredValue ReadValue(const Text& keyPath, const Text& name) {
  StoredValue out;
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, keyPath, kKeyRead) != kSuccess) return out;
  uint32_t size = 0;
  if (QueryValue(key.Get(), name, &out.type, nullptr, &size) != kSuccess) return out;
  out.data.resize(size);
  if (QueryValue(key.Get(), name, &out.type, out.data.data(), &size) != kSuccess) return out;
  out.data.resize(size);
  out.exists = true;
  return out;
}

namespace {
// Every sub-key, each also recorded as "path|" so that empty keys count; without 'wholeTree' the
// tool's own branch is left out.
void TakeSnapshot(const Text& path, bool wholeTree, RegistrySnapshot& into) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, path, kKeyRead) != kSuccess) return;
  KeyInfo info;
  if (QueryKeyInfo(key.Get(), &info) != kSuccess) return;
  for (uint32_t i = 0;; ++i) {
    std::vector<char16_t> name(info.maxValueNameLength + 1);
    std::vector<uint8_t> data(info.maxValueDataSize + 1);
    uint32_t length = static_cast<uint32_t>(name.size()), type = 0, size = static_cast<uint32_t>(data.size());
    if (EnumerateValue(key.Get(), i, name.data(), &length, &type, data.data(), &size) != kSuccess) break;
    data.resize(size);
    into[path + u"|" + Text(name.data(), length)] = {type, data};
  }
  for (uint32_t i = 0;; ++i) {
    std::vector<char16_t> name(info.maxSubKeyLength + 1);
    uint32_t length = static_cast<uint32_t>(name.size());
    if (EnumerateKey(key.Get(), i, name.data(), &length) != kSuccess) break;
    const Text child = path + u"\\" + Text(name.data(), length);
    if (!wholeTree && IsToolKey(child)) continue;
    into[child + u"|"] = {};
    TakeSnapshot(child, wholeTree, into);
  }
}
}  // namespace

RegistrySnapshot ClientSettingsSnapshot() {
  RegistrySnapshot snapshot;
  TakeSnapshot(names::kClientKey, false, snapshot);
  return snapshot;
}

RegistrySnapshot SnapshotKey(const Text& path) {
  RegistrySnapshot snapshot;
  TakeSnapshot(path, true, snapshot);
  return snapshot;
}

namespace {
#ifdef _WIN32
// The shell reads the folder from here on every request, in this process and in the tool's.
constexpr char16_t kUserShellFolders[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr char16_t kLocalAppDataValue[] = u"Local AppData";

StoredValue CurrentLocalAppData() { return ReadValue(kUserShellFolders, kLocalAppDataValue); }
void PutBackLocalAppData(const StoredValue& saved) {
  if (saved.exists) {
    SeedValue(kUserShellFolders, kLocalAppDataValue, saved.type, saved.data);
  } else {
    RegistryKey key;
    if (key.Open(RegRoot::CurrentUser, kUserShellFolders, kKeyReadWrite) == kSuccess) {
      const Status deleted = DeleteValue(key.Get(), kLocalAppDataValue);
      EXPECT_TRUE(deleted == kSuccess || deleted == kFileNotFound) << "the test's own redirection: " << deleted;
    }
  }
}
#else
StoredValue CurrentLocalAppData() {
  StoredValue saved;
  if (const char* value = std::getenv("LOCALAPPDATA")) {
    saved.exists = true;
    saved.data.assign(value, value + std::strlen(value));
  }
  return saved;
}
void PutBackLocalAppData(const StoredValue& saved) {
  if (saved.exists) {
    setenv("LOCALAPPDATA", std::string(saved.data.begin(), saved.data.end()).c_str(), 1);
  } else {
    unsetenv("LOCALAPPDATA");
  }
}
#endif
}  // namespace

void ClientRegistryTest::RedirectLocalAppData(const Text& folder) {
#ifdef _WIN32
  SeedString(kUserShellFolders, kLocalAppDataValue, folder, kRegExpandSz);
#else
  setenv("LOCALAPPDATA", ToUtf8(folder).c_str(), 1);
#endif
}

void ClientRegistryTest::SetUp() {
  DeleteKey(names::kClientKey);
  savedLocalAppData_ = CurrentLocalAppData();
  RedirectLocalAppData(localAppData_.Path());
#ifndef _WIN32
  // Without a "Data Path" a run takes the default data folder below APPDATA: a scratch one too,
  // never the host's own (Wine keeps it in the test prefix).
  if (const char* appData = std::getenv("APPDATA")) savedAppData_ = appData;
  setenv("APPDATA", ToUtf8(localAppData_ / u"Roaming").c_str(), 1);
#endif
}

void ClientRegistryTest::TearDown() {
  DeleteKey(names::kClientKey);
  PutBackLocalAppData(savedLocalAppData_);
#ifndef _WIN32
  if (savedAppData_) {
    setenv("APPDATA", savedAppData_->c_str(), 1);
  } else {
    unsetenv("APPDATA");
  }
#endif
}

Text ClientRegistryTest::UndoFolder() const {
  Text folder = localAppData_.Path();
  for (const char16_t* part : {u"Kestrove", u"Backup Tool", u"Undo"}) AppendPath(folder, part);
  return folder;
}

Text FolderOnAbsentDrive() {
#ifdef _WIN32
  const DWORD drives = ::GetLogicalDrives();
  for (char16_t letter = u'Y'; letter > u'D'; --letter) {
    if (!(drives & (1u << (letter - u'A')))) return Text(1, letter) + u":\\KestroveData";
  }
  ADD_FAILURE() << "no free drive letter";
  return Text();
#else
  return u"/kbt-absent-drive/KestroveData";
#endif
}

void SetEnvironment(const char* name, const Text& value) {
#ifdef _WIN32
  const std::wstring wide(value.begin(), value.end());
  _wputenv_s(std::wstring(name, name + std::strlen(name)).c_str(), wide.c_str());
#else
  setenv(name, ToUtf8(value).c_str(), 1);
#endif
}

}  // namespace kbt::testing
