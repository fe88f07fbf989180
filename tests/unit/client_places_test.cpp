// The one rule for the client's own places: which folders, bitmaps and queue files an operation
// may touch, whatever a registry value or an archive names.
#include "operations/client/client_places.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/directory_path.h"
#include "platform/paths.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kbt {
namespace {
using platform::kPathSeparator;

class ClientPlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    const wchar_t* windows = _wgetenv(L"windir");
    ASSERT_NE(windows, nullptr);
    system_ = Text(reinterpret_cast<const char16_t*>(windows));
#else
    system_ = systemScratch_.Path();
    ::setenv("KBT_PROTECTED_FOLDERS", ToUtf8(system_).c_str(), 1);
#endif
  }
#ifndef _WIN32
  void TearDown() override { ::unsetenv("KBT_PROTECTED_FOLDERS"); }
  testing::ScratchFolder systemScratch_;
#endif

  Text In(const Text& folder, const Text& name) const { return folder + kPathSeparator + name; }

  testing::ScratchFolder data, elsewhere;
  Text system_;
};

TEST_F(ClientPlacesTest, FilesAreAcceptedOnlyAsTheirKindInTheClientsPlaces) {
  const ClientPlaces places(data.Path());
  struct Case {
    Text path;
    bool bitmap, queue;
    const char* fault;
  };
  const Case cases[] = {
      {In(elsewhere.Path(), u"list.bmp"), true, false, "a bitmap in an ordinary folder is the client's"},
      {In(elsewhere.Path(), u"LIST.BMP"), true, false, "extensions compare in any case"},
      {In(In(elsewhere.Path(), u"new"), u"list.bmp"), true, false, "a folder that does not exist yet"},
      {In(elsewhere.Path(), u"my.que"), false, true, "a queue file anywhere ordinary"},
      {In(data.Path(), u"queue.dat"), false, true, "the data folder's own queue"},
      {In(elsewhere.Path(), u"queue.dat"), false, false, "queue.dat is a queue only in the data folder"},
      {In(In(data.Path(), u"sub"), u"queue.dat"), false, false, "not in a folder below the data folder either"},
      {In(elsewhere.Path(), u"history.dat"), false, false, "a data file's name is neither"},
      {In(elsewhere.Path(), u"run.url"), false, false, "a shortcut that runs at logon"},
      {In(elsewhere.Path(), u"x.bmp.exe"), false, false, "an executable behind a bitmap's name"},
      {In(elsewhere.Path(), u".bmp"), false, false, "an extension alone is no name"},
      {In(system_, u"list.bmp"), false, false, "the system's own folder"},
      {In(In(system_, u"deeper"), u"my.que"), false, false, "below the system's folder"},
      {In(In(In(elsewhere.Path(), u".."), u"x"), u"list.bmp"), false, false, "a parent step"},
      {Text(u"relative") + kPathSeparator + u"list.bmp", false, false, "a relative path"},
      {u"", false, false, "nothing"},
#ifdef _WIN32
      {u"\\\\server\\share\\list.bmp", false, false, "a network share"},
      {u"\\\\?\\" + In(elsewhere.Path(), u"list.bmp"), false, false, "the extended-length prefix"},
      {u"\\\\.\\" + In(elsewhere.Path(), u"list.bmp"), false, false, "the device namespace"},
      {In(elsewhere.Path(), u"NUL.bmp"), false, false, "a device name with an extension"},
      {In(elsewhere.Path(), u"list.bmp:hidden"), false, false, "a stream"},
      {In(elsewhere.Path(), u"list.bmp. "), false, false, "trailing dots and blanks the system drops"},
      {elsewhere.Path() + u"\\\\list.bmp", false, false, "an empty component"},
      {elsewhere.Path() + u"/x/list.bmp", false, false, "the other separator"},
      {u"Q:\\Favorites\\list.bmp", false, false, "a drive this machine lacks (once looped for ever)"},
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(places.AcceptsBitmap(c.path), c.bitmap) << c.fault << ": " << ToUtf8(c.path);
    EXPECT_EQ(places.AcceptsQueue(c.path), c.queue) << c.fault << ": " << ToUtf8(c.path);
  }
  EXPECT_TRUE(places.AcceptsFolder(data.Path()));
  EXPECT_FALSE(places.AcceptsFolder(system_));
}

#ifdef _WIN32
// Startup and the Start menu run what lies in them at the next logon, whatever its extension.
TEST_F(ClientPlacesTest, TheShellsOwnFoldersAreRefusedAsSpelledAndInShortForm) {
  // Other users' profiles, the Default and the Public one are theirs, not the client's.
  const wchar_t* profile = _wgetenv(L"USERPROFILE");
  ASSERT_TRUE(profile);
  Text profiles(reinterpret_cast<const char16_t*>(profile));
  profiles.resize(profiles.rfind(u'\\'));
  ASSERT_EQ(CreateDirectoryPath(profiles + u"\\kbt-other-user\\Pictures"), platform::kSuccess);
  const ClientPlaces places(data.Path());
  const wchar_t* appData = _wgetenv(L"APPDATA");
  const wchar_t* programData = _wgetenv(L"ProgramData");
  ASSERT_TRUE(appData && programData);
  const Text roaming(reinterpret_cast<const char16_t*>(appData));
  const Text common(reinterpret_cast<const char16_t*>(programData));
  EXPECT_TRUE(places.AcceptsBitmap(Text(reinterpret_cast<const char16_t*>(profile)) + u"\\Pictures\\mine.bmp"));
  for (const Text& folder : {roaming + u"\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
                             common + u"\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp", roaming + u"\\Microsoft",
                             common, system_ + u"\\system32\\drivers\\etc", profiles + u"\\Public\\Pictures",
                             profiles + u"\\kbt-other-user\\Pictures"}) {
    EXPECT_FALSE(places.AcceptsBitmap(folder + u"\\x.bmp")) << ToUtf8(folder);
  }
  wchar_t shortForm[MAX_PATH] = {};
  if (::GetShortPathNameW(reinterpret_cast<const wchar_t*>(system_.c_str()), shortForm, MAX_PATH) != 0) {
    const Text spelled(reinterpret_cast<const char16_t*>(shortForm));
    EXPECT_FALSE(places.AcceptsBitmap(spelled + u"\\x.bmp")) << ToUtf8(spelled);
  }
  testing::RemoveTree(profiles + u"\\kbt-other-user");
}
#else
// A link is judged by where it leads, so no folder of the user's can be a door into the system's.
TEST_F(ClientPlacesTest, ALinkIsJudgedByWhereItLeads) {
  const ClientPlaces places(data.Path());
  ASSERT_EQ(::symlink(ToUtf8(system_).c_str(), ToUtf8(elsewhere / u"door").c_str()), 0);
  EXPECT_FALSE(places.AcceptsBitmap(elsewhere / u"door/list.bmp"));
  ASSERT_EQ(::symlink("/etc/passwd", ToUtf8(elsewhere / u"passwd.bmp").c_str()), 0);
  EXPECT_FALSE(places.AcceptsBitmap(elsewhere / u"passwd.bmp")) << "a bitmap's name on a link to another file";
}
#endif

}  // namespace
}  // namespace kbt
