#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include "archive/backup_archive.h"
#include "platform/files.h"
#include "unit/archive_test_support.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using testing::ScratchFolder;

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Another process's lock on part of the file makes ReadFile fail once the copy reaches it.
TEST(BackupArchiveWin32Test, AReadErrorInTheSourceFailsAddFile) {
  ScratchFolder scratch;
  const Text source = scratch / u"locked.dat";
  ASSERT_TRUE(testing::WriteBytes(source, testing::MixedData(200000, 21)));
  HANDLE holder = ::CreateFileW(W(source), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  OVERLAPPED at{};
  at.Offset = 100000;
  ASSERT_TRUE(::LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1000, 0, &at));

  BackupArchiveWriter writer;
  ASSERT_TRUE(writer.Open(scratch / u"locked.zip", 0));
  EXPECT_FALSE(writer.AddFile(source, u"locked.dat", -1));
  ::UnlockFileEx(holder, 0, 1000, 0, &at);
  ::CloseHandle(holder);
  EXPECT_TRUE(writer.AddFile(source, u"again.dat", -1)) << "the archive stays usable";
  EXPECT_TRUE(writer.Close());
}

// The writer picks the zip64 form from this size, so it must hold sizes beyond 32 bits.
TEST(BackupArchiveWin32Test, FileSizeReportsSizesBeyondFourGiB) {
  ScratchFolder scratch;
  const Text path = scratch / u"sparse.dat";
  HANDLE file = ::CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD ignored = 0;
  ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER size{};
  size.QuadPart = (5LL << 30) + 3;
  const bool grown = ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
  ::CloseHandle(file);
  ASSERT_TRUE(grown);

  platform::File opened;
  ASSERT_TRUE(opened.Open(path, platform::FileMode::ReadShared));
  uint64_t reported = 0;
  ASSERT_TRUE(opened.Size(&reported));
  EXPECT_EQ(reported, static_cast<uint64_t>(size.QuadPart));
}

}  // namespace
}  // namespace kbt
