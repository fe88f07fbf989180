// What the logic relies on from the registry, checked against the substitute natively and
// against the real registry under Wine.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry.h"
#include "regfile/registry_key.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::ReadValue;
using testing::SeedString;
using testing::SeedValue;

const Text kScratch = u"Software\\KestroveBackupToolTests";

class RegistryContractTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::DeleteKey(kScratch); }
  void TearDown() override { testing::DeleteKey(kScratch); }
  Text Sub(const Text& name) const { return kScratch + u"\\" + name; }
};

TEST_F(RegistryContractTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
  SeedString(Sub(u"Display"), u"Listview Bitmap", u"a.bmp");
  RegistryKey key;
  ASSERT_EQ(key.Open(RegRoot::CurrentUser, Sub(u"display"), kKeyRead), kSuccess);
  Text text;
  EXPECT_EQ(key.QueryString(u"LISTVIEW BITMAP", text, false), kSuccess);
  EXPECT_EQ(text, u"a.bmp");

  RegistryKey parent;
  ASSERT_EQ(parent.Open(RegRoot::CurrentUser, kScratch, kKeyRead), kSuccess);
  char16_t name[64] = {};
  uint32_t length = 64;
  ASSERT_EQ(EnumerateKey(parent.Get(), 0, name, &length), kSuccess);
  EXPECT_EQ(Text(name, length), u"Display") << "the key keeps the case it was created with";
  char16_t valueName[64] = {};
  uint32_t valueLength = 64;
  ASSERT_EQ(EnumerateValue(key.Get(), 0, valueName, &valueLength, nullptr, nullptr, nullptr), kSuccess);
  EXPECT_EQ(Text(valueName, valueLength), u"Listview Bitmap");
}

TEST_F(RegistryContractTest, CreateMakesIntermediateKeysAndEnumerationEndsWith259) {
  RegistryKey key;
  ASSERT_EQ(key.Create(RegRoot::CurrentUser, Sub(u"A\\B\\C"), kKeyReadWrite), kSuccess);
  EXPECT_TRUE(testing::KeyExists(Sub(u"A\\B")));
  SeedString(Sub(u"A"), u"one", u"1");
  SeedString(Sub(u"A"), u"two", u"2");

  RegistryKey a;
  ASSERT_EQ(a.Open(RegRoot::CurrentUser, Sub(u"A"), kKeyRead), kSuccess);
  KeyInfo info;
  ASSERT_EQ(QueryKeyInfo(a.Get(), &info), kSuccess);
  EXPECT_EQ(info.values, 2u);
  EXPECT_EQ(info.subKeys, 1u);
  EXPECT_EQ(info.maxValueNameLength, 3u);
  EXPECT_EQ(info.maxSubKeyLength, 1u);
  EXPECT_EQ(info.maxValueDataSize, 4u);
  char16_t name[16];
  uint32_t length = 16;
  EXPECT_EQ(EnumerateValue(a.Get(), 2, name, &length, nullptr, nullptr, nullptr), kNoMoreItems);
  length = 16;
  EXPECT_EQ(EnumerateKey(a.Get(), 1, name, &length), kNoMoreItems);
  length = 2;
  EXPECT_NE(EnumerateValue(a.Get(), 0, name, &length, nullptr, nullptr, nullptr), kSuccess)
      << "a name that does not fit must not be reported as read";
}

TEST_F(RegistryContractTest, OpenFindsOnlyExistingKeys) {
  RegistryKey key;
  EXPECT_NE(key.Open(RegRoot::CurrentUser, Sub(u"Missing"), kKeyRead), kSuccess);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(key.Close(), kSuccess) << "closing an empty holder succeeds";
  EXPECT_FALSE(testing::KeyExists(Sub(u"Missing")));
}

TEST_F(RegistryContractTest, DeleteTreeRemovesSubKeysAndValues) {
  SeedString(Sub(u"T\\U\\V"), u"x", u"y");
  SeedString(Sub(u"T"), u"x", u"y");
  SeedString(Sub(u"Keep"), u"x", u"y");
  EXPECT_EQ(DeleteKeyTree(RegRoot::CurrentUser, Sub(u"t")), kSuccess);
  EXPECT_FALSE(testing::KeyExists(Sub(u"T")));
  EXPECT_TRUE(testing::KeyExists(Sub(u"Keep")));
  EXPECT_EQ(DeleteKeyTree(RegRoot::CurrentUser, Sub(u"T")), kFileNotFound) << "a missing key reports failure";
}

// Far deeper than a recursion could go: the thread's stack is 1 MiB under Wine, 8 MiB natively.
// Under Wine the depth is bounded by the longest key path the registry takes in one call.
TEST_F(RegistryContractTest, DeleteTreeTakesADeepTreeWhole) {
#ifdef _WIN32
  constexpr int kDepth = 12000;
#else
  constexpr int kDepth = 300000;
#endif
  Text deepest = Sub(u"Deep");
  for (int level = 0; level < kDepth; ++level) deepest += u"\\k";
  SeedString(deepest, u"x", u"y");
  SeedString(Sub(u"Deep\\Wide"), u"x", u"y");
  EXPECT_EQ(DeleteKeyTree(RegRoot::CurrentUser, Sub(u"Deep")), kSuccess);
  EXPECT_FALSE(testing::KeyExists(Sub(u"Deep")));
  EXPECT_TRUE(testing::KeyExists(kScratch));
}

TEST_F(RegistryContractTest, ValuesKeepTheirTypeAndBytes) {
  const std::vector<uint8_t> odd = {1, 2, 3};
  SeedValue(kScratch, u"", kRegSz, {0, 0});
  SeedValue(kScratch, u"weird", 0x12345678u, odd);
  SeedValue(kScratch, u"none", kRegNone, {});
  SeedValue(kScratch, u"bin", kRegBinary, {0xFF, 0x00, 0x7F});
  EXPECT_EQ(ReadValue(kScratch, u"weird").type, 0x12345678u);
  EXPECT_EQ(ReadValue(kScratch, u"weird").data, odd);
  EXPECT_TRUE(ReadValue(kScratch, u"none").exists);
  EXPECT_TRUE(ReadValue(kScratch, u"none").data.empty());
  EXPECT_EQ(ReadValue(kScratch, u"").data, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(ReadValue(kScratch, u"bin").data, (std::vector<uint8_t>{0xFF, 0x00, 0x7F}));
}

TEST_F(RegistryContractTest, QueryStringReadsOnlyStrings) {
  testing::SeedDword(kScratch, u"dword", 7);
  SeedValue(kScratch, u"empty", kRegSz, {});
  SeedValue(kScratch, u"odd", kRegSz, {'a', 0, 'b'});
  SeedValue(kScratch, u"unterminated", kRegSz, {'a', 0, 'b', 0});
  SeedString(kScratch, u"expand", u"%KBT_TEST_FOLDER%\\file.txt", kRegExpandSz);
  SeedString(kScratch, u"plain", u"%KBT_TEST_FOLDER%\\file.txt", kRegSz);
#ifdef _WIN32
  _wputenv(L"KBT_TEST_FOLDER=C:\\Data");
#else
  setenv("KBT_TEST_FOLDER", "C:\\Data", 1);
#endif
  RegistryKey key;
  ASSERT_EQ(key.Open(RegRoot::CurrentUser, kScratch, kKeyRead), kSuccess);
  Text text = u"unchanged";
  EXPECT_EQ(key.QueryString(u"dword", text, false), kInvalidData);
  EXPECT_EQ(text, u"unchanged");
  EXPECT_EQ(key.QueryString(u"missing", text, false), kFileNotFound);
  EXPECT_EQ(text, u"unchanged");
  EXPECT_EQ(key.QueryString(u"odd", text, false), kInvalidData);
  EXPECT_EQ(key.QueryString(u"empty", text, false), kSuccess);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(key.QueryString(u"unterminated", text, false), kSuccess);
  EXPECT_EQ(text, u"ab");
  EXPECT_EQ(key.QueryString(u"expand", text, false), kSuccess);
  EXPECT_EQ(text, u"%KBT_TEST_FOLDER%\\file.txt");
  EXPECT_EQ(key.QueryString(u"expand", text, true), kSuccess);
  EXPECT_EQ(text, u"C:\\Data\\file.txt");
  EXPECT_EQ(key.QueryString(u"plain", text, true), kSuccess);
  EXPECT_EQ(text, u"C:\\Data\\file.txt") << "expansion applies to REG_SZ too";
  SeedString(kScratch, u"unknown", u"%KBT_NO_SUCH_VARIABLE%\\x", kRegExpandSz);
  EXPECT_EQ(key.QueryString(u"unknown", text, true), kSuccess);
  EXPECT_EQ(text, u"%KBT_NO_SUCH_VARIABLE%\\x");
}

TEST_F(RegistryContractTest, DeleteAllValuesKeepsTheKeyAndItsSubKeys) {
  SeedString(kScratch, u"a", u"1");
  SeedString(kScratch, u"b", u"2");
  SeedValue(kScratch, u"", kRegSz, {0, 0});
  SeedString(Sub(u"Child"), u"c", u"3");
  bool all = false;
  EXPECT_TRUE(DeleteAllValues(RegRoot::CurrentUser, kScratch, &all));
  EXPECT_TRUE(all);
  EXPECT_FALSE(ReadValue(kScratch, u"a").exists);
  EXPECT_FALSE(ReadValue(kScratch, u"").exists);
  EXPECT_TRUE(testing::KeyExists(kScratch));
  EXPECT_TRUE(ReadValue(Sub(u"Child"), u"c").exists);
  EXPECT_FALSE(DeleteAllValues(RegRoot::CurrentUser, Sub(u"Missing")));
  EXPECT_FALSE(testing::KeyExists(Sub(u"Missing")));
}

TEST_F(RegistryContractTest, DeleteAllValuesReachesNamesOfEveryLength) {
  SeedString(kScratch, Text(16383, u'n'), u"longest");
  SeedString(kScratch, Text(300, u'm'), u"long");
  SeedString(kScratch, u"short", u"short");
  bool all = false;
  EXPECT_TRUE(DeleteAllValues(RegRoot::CurrentUser, kScratch, &all));
  EXPECT_TRUE(all);
  EXPECT_TRUE(testing::KeyExists(kScratch));
  RegHandle key = 0;
  ASSERT_EQ(OpenKey(RegRoot::CurrentUser, kScratch, kKeyRead, &key), kSuccess);
  KeyInfo info;
  EXPECT_EQ(QueryKeyInfo(key, &info), kSuccess);
  EXPECT_EQ(info.values, 0u);
  CloseKey(key);
}

}  // namespace
}  // namespace kbt
