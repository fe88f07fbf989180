// Protected entries: the primitives against published vectors, the counter mode and framing
// against an archive 7-Zip wrote, and one table of bad encrypted entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "archive/zip_aes.h"
#include "operations/restore/archive_password.h"
#include "archive_test_support.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string ToHex(const unsigned char* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) hex += {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 15]};
  return hex;
}

TEST(ZipAesCrypto, Pbkdf2HmacSha1GivesTheRfc6070Vectors) {
  struct Case {
    std::string password, salt;
    unsigned iterations;
    std::string key;
  };
  const Case cases[] = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> key(c.key.size() / 2);
    ASSERT_TRUE(platform::DerivePbkdf2Sha1(reinterpret_cast<const unsigned char*>(c.password.data()),
                                           c.password.size(), reinterpret_cast<const unsigned char*>(c.salt.data()),
                                           c.salt.size(), c.iterations, key.data(), key.size()));
    EXPECT_EQ(ToHex(key.data(), key.size()), c.key) << c.iterations;
  }
}

class ZipAesArchiveTest : public ::testing::Test {
 protected:
  Text Write(const std::vector<std::pair<Text, Text>>& entries) {  // name, password
    const Text archive = scratch_ / u"protected.zip";
    BackupArchiveWriter writer;
    EXPECT_TRUE(writer.Open(archive, 0));
    for (const auto& [name, password] : entries) {
      const Text source = scratch_ / name;
      EXPECT_TRUE(WriteBytes(source, data_));
      writer.Password = password;
      EXPECT_TRUE(writer.AddFile(source, name, -1));
    }
    writer.CommentText = u"Kestrove Client Backup File\nx\n2005-03-07T09:05:03Z\n";
    writer.HasComment = true;
    EXPECT_TRUE(writer.Close());
    return archive;
  }

  std::vector<uint8_t> data_ = testing::MixedData(3 * kDeflatePieceSize + 77, 5);
  ScratchFolder scratch_;
};

TEST_F(ZipAesArchiveTest, ReadsWhatSevenZipEncrypted) {
  // 7-Zip 26.02: 7zz a -tzip -mem=AES256 -pSecret1 (stored, AE-2), one entry of 39 bytes, so
  // the counter runs over two whole blocks and a part.
  const Text archive = scratch_ / u"7z.zip";
  ASSERT_TRUE(WriteBytes(archive, FromHex(
      "504b03043300010063000ba6895d00000000430000002700000007000b006b61742e747874019907000200414503000059eecd89"
      "35c822ba04d99a1e3d02462e8596436c26b8a7ba497372c4b3c9ea5dd94aa32dc936acb3a4d47cc1442b55d087ec516832d3c7d5"
      "66d744b7b32adb2298f3ed504b01023f033300010063000ba6895d00000000430000002700000007002f00000000000000208"
      "0a481000000006b61742e7478740a0020000000000001001800b3875da01e88dd010000000000000000000000000000000001"
      "99070002004145030000504b0506000000000100010064000000730000000000")));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(reader.Protection(), ArchiveProtection::Protected);
  reader.SetPassword(u"Secret1");
  EXPECT_EQ(reader.CheckPassword(), EntryProblem::None);
  const Text out = scratch_ / u"kat.txt";
  ASSERT_TRUE(reader.LocateEntry(u"kat.txt", false) && reader.ExtractCurrentEntry(out));
  const std::string text = "Known answer: WinZip AES counter mode.\n";
  EXPECT_EQ(ReadBytes(out), std::vector<uint8_t>(text.begin(), text.end()));
}

TEST_F(ZipAesArchiveTest, RoundTripsEveryPieceAndKeepsTheCommentReadable) {
  const Text archive = Write({{u"custom.dat", u"p\u00e4ss"}});
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  Text comment;
  ASSERT_TRUE(reader.ReadGlobalComment(comment));
  EXPECT_EQ(comment.substr(0, 27), u"Kestrove Client Backup File");
  EXPECT_EQ(reader.Protection(), ArchiveProtection::Protected);
  reader.SetPassword(u"p\u00e4ss");
  const Text out = scratch_ / u"out.dat";
  ASSERT_TRUE(reader.LocateEntry(u"custom.dat", false) && reader.ExtractCurrentEntry(out));
  EXPECT_EQ(ReadBytes(out), data_);
  EXPECT_TRUE(reader.CurrentEntryEquals(out));
}

// Each case changes a protected archive of one entry; the destination keeps its bytes.
TEST_F(ZipAesArchiveTest, RefusesEveryBadEntryAndWritesNothing) {
  const std::string aesExtra("\x01\x99\x07\x00\x02\x00" "AE\x03", 9);
  struct Case {
    const char* what;
    Text password;
    std::function<void(std::vector<uint8_t>&)> change;
    EntryProblem checked, read;
    ArchiveProtection protection = ArchiveProtection::Protected;
  };
  auto everyExtra = [&](size_t at, uint8_t value) {
    return [=](std::vector<uint8_t>& bytes) {
      for (size_t i = 0; (i = std::string(bytes.begin(), bytes.end()).find(aesExtra, i)) != std::string::npos; ++i)
        bytes[i + at] = value;
    };
  };
  auto sizesTo = [](uint8_t size) {  // compressed size in the local and the central header
    return [=](std::vector<uint8_t>& bytes) {
      bytes[18] = size, bytes[19] = bytes[20] = bytes[21] = 0;
      const size_t central = std::string(bytes.begin(), bytes.end()).rfind("PK\x01\x02");
      bytes[central + 20] = size, bytes[central + 21] = bytes[central + 22] = bytes[central + 23] = 0;
    };
  };
  const Case cases[] = {
      {"wrong password", u"wrong", nullptr, EntryProblem::WrongPassword, EntryProblem::WrongPassword},
      {"no password", u"", nullptr, EntryProblem::PasswordNeeded, EntryProblem::PasswordNeeded},
      {"ciphertext changed", u"right", [](std::vector<uint8_t>& b) { b[200] ^= 1; }, EntryProblem::None,
       EntryProblem::Damaged},
      {"AE-1, whose CRC must match", u"right", everyExtra(4, 1), EntryProblem::None, EntryProblem::Damaged},
      {"unknown strength", u"right", everyExtra(8, 4), EntryProblem::Unsupported, EntryProblem::Unsupported},
      {"salt cut short", u"right", sizesTo(10), EntryProblem::Damaged, EntryProblem::Damaged},
      {"verifier cut short", u"right", sizesTo(17), EntryProblem::Damaged, EntryProblem::Damaged},
  };
  const Text written = Write({{u"custom.dat", u"right"}});
  const std::vector<uint8_t> good = ReadBytes(written);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    if (c.change) c.change(bytes);
    const Text archive = scratch_ / u"changed.zip";
    ASSERT_TRUE(WriteBytes(archive, bytes));
    const Text out = scratch_ / u"kept.dat";
    ASSERT_TRUE(WriteBytes(out, {1, 2, 3}));
    BackupArchiveReader reader;
    ASSERT_TRUE(reader.Open(archive));
    EXPECT_EQ(reader.Protection(), c.protection);
    if (!c.password.empty()) reader.SetPassword(c.password);
    EXPECT_EQ(reader.CheckPassword(), c.checked);
    ASSERT_TRUE(reader.LocateEntry(u"custom.dat", false));
    EXPECT_FALSE(reader.ExtractCurrentEntry(out));
    EXPECT_EQ(reader.LastProblem(), c.read);
    EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{1, 2, 3}));
  }
}

TEST_F(ZipAesArchiveTest, AnArchiveThatMixesEncryptedAndPlainEntriesIsMixed) {
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(Write({{u"custom.dat", u"right"}, {u"history.dat", u""}})));
  EXPECT_EQ(reader.Protection(), ArchiveProtection::Mixed);
}

}  // namespace
}  // namespace kbt

namespace kbt {
namespace {

TEST(PasswordFile, TakesTheFirstLineWithoutByteOrderMarkOrLineEnd) {
  struct Case {
    std::string bytes;
    bool read;
    Text password;
  };
  const Case cases[] = {
      {"secret", true, u"secret"},
      {"\xEF\xBB\xBFsecret\r\nsecond line\n", true, u"secret"},
      {"p\xC3\xA4ss word\n", true, u"p\u00e4ss word"},
      {"\r\nsecret\n", false, u""},
      {"", false, u""},
      {std::string(5000, 'x'), false, u""},
  };
  ScratchFolder scratch;
  for (const Case& c : cases) {
    const Text path = scratch / u"password.txt";
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(c.bytes.begin(), c.bytes.end())));
    Text password;
    EXPECT_EQ(ReadPasswordFile(path, password), c.read) << c.bytes.substr(0, 20);
    if (c.read) {
      EXPECT_EQ(password, c.password);
    }
  }
}

}  // namespace
}  // namespace kbt
