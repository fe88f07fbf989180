#include "archive/backup_archive.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "archive_test_support.h"
#include "platform/codepage.h"
#include "platform/zip_files.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using testing::ListFolder;
using testing::MixedData;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

struct Source {
  Text entry;
  std::vector<uint8_t> bytes;
};

class BackupArchiveTest : public ::testing::Test {
 protected:
  // Writes each source into its own folder (so that equal names can coexist) and adds it.
  bool WriteArchive(const Text& archive, const std::vector<Source>& sources, int level = -1,
                    const Text* comment = nullptr) {
    BackupArchiveWriter writer;
    if (!writer.Open(archive, 0)) return false;
    bool ok = true;
    for (size_t i = 0; i < sources.size(); ++i) {
      Text folder = scratch_ / (u"src" + FromUtf8(std::to_string(i)));
      static_cast<void>(platform::MakeDirectory(folder));  // there already: fine
      Text path = folder;
      platform::AppendPath(path, sources[i].entry);
      ok = WriteBytes(path, sources[i].bytes) && writer.AddFile(path, sources[i].entry, level) && ok;
    }
    if (comment) {
      writer.CommentText = *comment;
      writer.HasComment = true;
    }
    return writer.Close() && ok;
  }

  std::vector<uint8_t> Extract(BackupArchiveReader& reader, const Text& name, bool ignoreCase = false) {
    const Text out = scratch_ / u"extracted";
    static_cast<void>(platform::RemoveFile(out));  // the file of an earlier extraction, when there is one
    if (!reader.LocateEntry(name, ignoreCase) || !reader.ExtractCurrentEntry(out)) return {0xDE, 0xAD};
    return ReadBytes(out);
  }

  ScratchFolder scratch_;
};

TEST_F(BackupArchiveTest, RoundTripsEveryFixedEntryWithItsBytes) {
  const std::vector<Source> sources = {
      {names::kSettingsFile, MixedData(70000, 1)},
      {names::kHistoryFile, {}},  // empty files make empty entries
      {names::kCustomFile, MixedData(3 * kDeflatePieceSize + 17, 2)},  // many pieces
      {u"piece.dat", MixedData(kDeflatePieceSize, 8)},  // exactly one piece
      {u"piece plus one.dat", MixedData(kDeflatePieceSize + 1, 9)},
      {names::kFoldersFile, MixedData(32768, 3)},  // exactly one chunk
      {names::kFavoritesFile, MixedData(32769, 4)},
      {names::kQueueFallbackFile, MixedData(1, 5)},
      {u"toolbar.bmp", MixedData(5000, 6)},
  };
  const Text archive = scratch_ / u"backup.zip";
  ASSERT_TRUE(WriteArchive(archive, sources));

  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  for (const Source& source : sources) {
    EXPECT_EQ(Extract(reader, source.entry), source.bytes) << ToUtf8(source.entry);
  }
}

TEST_F(BackupArchiveTest, StoredEntriesRoundTripToo) {
  const std::vector<Source> sources = {{u"stored.dat", MixedData(100000, 7)}, {u"empty.dat", {}}};
  const Text archive = scratch_ / u"stored.zip";
  ASSERT_TRUE(WriteArchive(archive, sources, 0));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(Extract(reader, u"stored.dat"), sources[0].bytes);
  EXPECT_TRUE(Extract(reader, u"empty.dat").empty());
}

TEST_F(BackupArchiveTest, DuplicateNamesAreBothKeptAndTheFirstIsFound) {
  const Text archive = scratch_ / u"twice.zip";
  ASSERT_TRUE(WriteArchive(archive, {{u"queue.dat", {'o', 'n', 'e'}},
                                     {u"history.dat", {'h'}},
                                     {u"queue.dat", {'t', 'w', 'o'}}}));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(Extract(reader, u"queue.dat"), (std::vector<uint8_t>{'o', 'n', 'e'}));
  EXPECT_EQ(Extract(reader, u"queue.dat", true), (std::vector<uint8_t>{'o', 'n', 'e'}));
  ASSERT_TRUE(reader.LocateLastEntry(u"queue.dat"));
  const Text out = scratch_ / u"last";
  ASSERT_TRUE(reader.ExtractCurrentEntry(out));
  EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{'t', 'w', 'o'}));
}

TEST_F(BackupArchiveTest, LookupIsExactUnlessAskedToIgnoreAsciiCase) {
  const Text archive = scratch_ / u"case.zip";
  ASSERT_TRUE(WriteArchive(archive, {{u"first.dat", {'1'}}, {u"Settings.REG", {'s'}}, {u"caf\u00e9.bmp", {'c'}}}));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_FALSE(reader.LocateEntry(names::kSettingsFile, false)) << "exact lookup must not fold case";
  EXPECT_EQ(Extract(reader, names::kSettingsFile, true), std::vector<uint8_t>{'s'});
  EXPECT_EQ(Extract(reader, u"Settings.REG"), std::vector<uint8_t>{'s'});
  EXPECT_EQ(Extract(reader, u"CAF\u00e9.BMP", true), std::vector<uint8_t>{'c'});
  EXPECT_FALSE(reader.LocateEntry(u"CAF\u00c9.BMP", true)) << "only ASCII letters are folded";
  EXPECT_FALSE(reader.LocateEntry(u"settings.re", true)) << "a prefix is not a match";
  EXPECT_FALSE(reader.LocateEntry(u"", true));
  EXPECT_FALSE(reader.LocateLastEntry(u"settings.reg")) << "the last-entry lookup is exact";
}

// Names no single ANSI code page holds: narrowed, the two bitmaps were both "??.bmp".
TEST_F(BackupArchiveTest, EntryNamesAreStoredInUtf8AndFlaggedSo) {
  const Text archive = scratch_ / u"utf8.zip";
  const std::vector<Source> sources = {{u"\u4f4d\u56fe.bmp", {'1'}},
                                       {u"\u56fe\u6807.bmp", {'2'}},
                                       {u"Warteschlange-\u00e4\u00f6\u00fc.que", {'3'}}};
  ASSERT_TRUE(WriteArchive(archive, sources));
  const std::vector<uint8_t> bytes = ReadBytes(archive);
  size_t headers = 0;
  const uint8_t central[] = {'P', 'K', 1, 2};
  for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), std::begin(central), std::end(central))) != bytes.end();
       at += 4, ++headers) {
    EXPECT_TRUE(at[9] & 0x08) << "general purpose bit 11";
    const size_t length = at[28] | (at[29] << 8);
    EXPECT_EQ(std::string(at + 46, at + 46 + static_cast<long>(length)), ToUtf8(sources[headers].entry));
  }
  EXPECT_EQ(headers, sources.size());

  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  for (const Source& source : sources) EXPECT_EQ(Extract(reader, source.entry), source.bytes) << ToUtf8(source.entry);
  EXPECT_EQ(Extract(reader, u"WARTESCHLANGE-\u00e4\u00f6\u00fc.QUE", true), std::vector<uint8_t>{'3'});
  ASSERT_TRUE(reader.LocateLastEntry(u"\u56fe\u6807.bmp"));
  EXPECT_FALSE(reader.LocateEntry(u"??.bmp", false));
}

// Archives of earlier versions: names in the ANSI code page, without the flag.
TEST_F(BackupArchiveTest, EntriesWithoutTheFlagAreReadInTheAnsiCodePage) {
  const Text archive = scratch_ / u"ansi.zip";
  const std::string narrow = platform::Narrow(u"Warteschlange-\u00e4\u00f6\u00fc.que");
  {
    platform::ZipFileAccess access(archive);
    zipFile zip = zipOpen2_64(access.Path(), 0, nullptr, access.Functions());
    ASSERT_NE(zip, nullptr);
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip64(zip, narrow.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0), ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, "q", 1), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
  }
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_TRUE(reader.CheckDirectory());
  EXPECT_EQ(Extract(reader, platform::Widen(narrow)), std::vector<uint8_t>{'q'});
}

// The central directory of this archive is several times the reader's read window.
TEST_F(BackupArchiveTest, LookupsWalkAWholeLargeCentralDirectory) {
  const Text source = scratch_ / u"one.dat";
  ASSERT_TRUE(WriteBytes(source, {'1'}));
  const Text last = scratch_ / u"last.dat";
  ASSERT_TRUE(WriteBytes(last, {'L'}));
  const Text archive = scratch_ / u"many.zip";
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    for (int i = 0; i < 3000; ++i) {
      ASSERT_TRUE(writer.AddFile(source, u"entry-with-a-long-name-" + FromUtf8(std::to_string(i)) + u".dat", -1));
    }
    ASSERT_TRUE(writer.AddFile(last, u"Queue.DAT", -1));
    ASSERT_TRUE(writer.AddFile(source, u"queue.dat", -1));
    ASSERT_TRUE(writer.AddFile(last, u"queue.dat", -1));
  }
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(Extract(reader, u"entry-with-a-long-name-0.dat"), std::vector<uint8_t>{'1'});
  EXPECT_EQ(Extract(reader, u"ENTRY-with-a-long-name-2999.DAT", true), std::vector<uint8_t>{'1'});
  EXPECT_EQ(Extract(reader, u"queue.dat", true), std::vector<uint8_t>{'L'});
  EXPECT_EQ(Extract(reader, u"queue.dat"), std::vector<uint8_t>{'1'});
  ASSERT_TRUE(reader.LocateLastEntry(u"queue.dat"));
  ASSERT_TRUE(reader.ExtractCurrentEntry(scratch_ / u"out"));
  EXPECT_EQ(ReadBytes(scratch_ / u"out"), std::vector<uint8_t>{'L'});
  EXPECT_FALSE(reader.LocateEntry(u"entry-with-a-long-name-3000.dat", true));
}

TEST_F(BackupArchiveTest, AFailedLookupKeepsTheCurrentEntry) {
  const Text archive = scratch_ / u"keep.zip";
  ASSERT_TRUE(WriteArchive(archive, {{u"a.dat", {'a'}}, {u"b.dat", {'b'}}}));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  ASSERT_TRUE(reader.LocateEntry(u"b.dat", false));
  EXPECT_FALSE(reader.LocateEntry(u"missing.dat", true));
  EXPECT_FALSE(reader.LocateEntry(u"missing.dat", false));
  EXPECT_FALSE(reader.LocateLastEntry(u"missing.dat"));
  const Text out = scratch_ / u"out";
  ASSERT_TRUE(reader.ExtractCurrentEntry(out));
  EXPECT_EQ(ReadBytes(out), std::vector<uint8_t>{'b'});
}

TEST_F(BackupArchiveTest, AnOpenArchiveMakesTheFirstEntryCurrent) {
  const Text archive = scratch_ / u"first.zip";
  ASSERT_TRUE(WriteArchive(archive, {{u"a.dat", {'a'}}, {u"b.dat", {'b'}}}));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  const Text out = scratch_ / u"out";
  ASSERT_TRUE(reader.ExtractCurrentEntry(out));
  EXPECT_EQ(ReadBytes(out), std::vector<uint8_t>{'a'});
}

TEST_F(BackupArchiveTest, RestoredFileCarriesTheSourceTimeAtDosResolutionAsAllItsTimes) {
  const Text source = scratch_ / u"history.dat";
  ASSERT_TRUE(WriteBytes(source, {'h'}));
  ASSERT_TRUE(testing::SetLocalFileTime(source, {2011, 6, 15, 13, 37, 43}));
  const Text archive = scratch_ / u"times.zip";
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    ASSERT_TRUE(writer.AddFile(source, names::kHistoryFile, -1));
  }
  // The expected result: the odd second truncated to the even one below, on every time.
  const Text expected = scratch_ / u"expected";
  ASSERT_TRUE(WriteBytes(expected, {}));
  ASSERT_TRUE(testing::SetLocalFileTime(expected, {2011, 6, 15, 13, 37, 42}));
  const std::vector<int64_t> want = testing::FileTimes(expected);
  ASSERT_FALSE(want.empty());
  EXPECT_TRUE(std::all_of(want.begin(), want.end(), [&](int64_t t) { return t == want[0]; }));

  const Text destination = scratch_ / u"restored.dat";
  ASSERT_TRUE(WriteBytes(destination, {'o', 'l', 'd'}));  // an existing file gets the entry's times too
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  ASSERT_TRUE(reader.LocateEntry(names::kHistoryFile, false));
  ASSERT_TRUE(reader.ExtractCurrentEntry(destination));
  EXPECT_EQ(testing::FileTimes(destination), want);
  EXPECT_NE(testing::FileTimes(source), want) << "the source keeps its odd second";
}

TEST_F(BackupArchiveTest, GlobalCommentIsReadBackOnlyWhenOneWasWritten) {
  const Text withComment = scratch_ / u"comment.zip";
  const Text text = u"Kestrove Client Backup File\nGr\u00fc\u00dfe\n2005-03-07T09:05:03Z\n";
  ASSERT_TRUE(WriteArchive(withComment, {{u"a.dat", {'a'}}}, -1, &text));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(withComment));
  Text read = u"previous";
  ASSERT_TRUE(reader.ReadGlobalComment(read));
  EXPECT_EQ(read, text);
  reader.Close();

  // A comment text without the flag is not written; no comment reads as false, string untouched.
  const Text without = scratch_ / u"none.zip";
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(without, 0));
    writer.CommentText = u"not written";
  }
  ASSERT_TRUE(reader.Open(without));
  Text untouched = u"keep";
  EXPECT_FALSE(reader.ReadGlobalComment(untouched));
  EXPECT_EQ(untouched, u"keep");
}

TEST_F(BackupArchiveTest, EmptyArchiveWithOnlyAComment) {
  const Text archive = scratch_ / u"empty.zip";
  const Text comment = u"c\n";
  ASSERT_TRUE(WriteArchive(archive, {}, -1, &comment));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  Text read;
  EXPECT_TRUE(reader.ReadGlobalComment(read));
  EXPECT_EQ(read, comment);
  EXPECT_FALSE(reader.LocateEntry(u"a", true));
  EXPECT_FALSE(reader.ExtractCurrentEntry(scratch_ / u"out")) << "there is no current entry";
  EXPECT_FALSE(testing::FileExists(scratch_ / u"out"));
}

TEST_F(BackupArchiveTest, ACommentTooLongForTheZipIsLeftOutAndReported) {
  const Text archive = scratch_ / u"long.zip";
  const Text comment(70000, u'x');
  EXPECT_FALSE(WriteArchive(archive, {{u"a.dat", {'a'}}}, -1, &comment));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive)) << "the archive itself must still be complete";
  Text read;
  EXPECT_FALSE(reader.ReadGlobalComment(read));
  EXPECT_EQ(Extract(reader, u"a.dat"), std::vector<uint8_t>{'a'});
}

TEST_F(BackupArchiveTest, WriterLifecycle) {
  BackupArchiveWriter never;
  EXPECT_FALSE(never.IsOpen());
  EXPECT_TRUE(never.Close()) << "closing a writer that was never opened does nothing";
  EXPECT_FALSE(never.AddFile(scratch_ / u"x", u"x", -1));

  const Text source = scratch_ / u"a.dat";
  ASSERT_TRUE(WriteBytes(source, {'a'}));
  const Text archive = scratch_ / u"life.zip";
  BackupArchiveWriter writer;
  EXPECT_FALSE(writer.Open(u"", 0));
  ASSERT_TRUE(writer.Open(archive, 0));
  EXPECT_TRUE(writer.IsOpen());
  EXPECT_FALSE(writer.Open(scratch_ / u"other.zip", 0)) << "an open writer is not reopened";
  EXPECT_FALSE(writer.AddFile(source, u"", -1));
  EXPECT_FALSE(writer.AddFile(u"", u"a.dat", -1));
  EXPECT_TRUE(writer.AddFile(source, u"a.dat", -1));
  EXPECT_TRUE(writer.Close());
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_TRUE(writer.Close()) << "a second close does nothing";
  EXPECT_FALSE(writer.AddFile(source, u"b.dat", -1));

  BackupArchiveReader reader;
  EXPECT_FALSE(reader.Open(u""));
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_FALSE(reader.LocateEntry(u"b.dat", false));
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
  reader.Close();
  Text comment;
  EXPECT_FALSE(reader.ReadGlobalComment(comment));
  EXPECT_FALSE(reader.LocateEntry(u"a.dat", false));
  EXPECT_FALSE(reader.ExtractCurrentEntry(scratch_ / u"out"));
}

TEST_F(BackupArchiveTest, DestructionCompletesTheArchiveWithTheCommentSet) {
  const Text archive = scratch_ / u"destroyed.zip";
  const Text source = scratch_ / u"a.dat";
  ASSERT_TRUE(WriteBytes(source, {'a'}));
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    ASSERT_TRUE(writer.AddFile(source, u"a.dat", -1));
    writer.CommentText = u"set";
    writer.HasComment = true;
  }
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  Text comment;
  EXPECT_TRUE(reader.ReadGlobalComment(comment));
  EXPECT_EQ(comment, u"set");
  EXPECT_EQ(Extract(reader, u"a.dat"), std::vector<uint8_t>{'a'});
}

TEST_F(BackupArchiveTest, AnExistingArchiveIsReplaced) {
  const Text archive = scratch_ / u"replace.zip";
  ASSERT_TRUE(WriteBytes(archive, MixedData(200000, 8)));
  ASSERT_TRUE(WriteArchive(archive, {{u"a.dat", {'a'}}}));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(Extract(reader, u"a.dat"), std::vector<uint8_t>{'a'});
  EXPECT_LT(ReadBytes(archive).size(), 1000u);
}

TEST_F(BackupArchiveTest, AUnicodeArchivePathWorks) {
  // Greek, CJK and a character beyond the BMP: outside every single-byte ANSI code page.
  const Text folder = scratch_ / u"\u03a9\u65e5\u672c";
  ASSERT_EQ(platform::MakeDirectory(folder), platform::kSuccess);
  Text archive = folder;
  platform::AppendPath(archive, u"b\u00e4ckup \u0416 \U0001D11E.zip");
  const Text comment = u"c";
  ASSERT_TRUE(WriteArchive(archive, {{u"a.dat", {'u'}}}, -1, &comment));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  Text destination = folder;
  platform::AppendPath(destination, u"\u0436.dat");
  ASSERT_TRUE(reader.LocateEntry(u"a.dat", false));
  ASSERT_TRUE(reader.ExtractCurrentEntry(destination));
  EXPECT_EQ(ReadBytes(destination), std::vector<uint8_t>{'u'});
}

// ---- sources that fail ----

TEST_F(BackupArchiveTest, AMissingOrUnreadableSourceLeavesTheArchiveAsWithoutIt) {
  const Text source = scratch_ / u"a.dat";
  ASSERT_TRUE(WriteBytes(source, MixedData(5000, 9)));
  ASSERT_TRUE(testing::SetLocalFileTime(source, {2020, 1, 2, 3, 4, 6}));
  auto write = [&](const Text& archive, bool withFailures) {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    ASSERT_TRUE(writer.AddFile(source, u"a.dat", -1));
    if (withFailures) {
      EXPECT_FALSE(writer.AddFile(scratch_ / u"missing.dat", u"missing.dat", -1));
      EXPECT_FALSE(writer.AddFile(scratch_.Path(), u"folder.dat", -1)) << "a folder is no source";
    }
    ASSERT_TRUE(writer.AddFile(source, u"b.dat", -1));
    ASSERT_TRUE(writer.Close());
  };
  write(scratch_ / u"with.zip", true);
  write(scratch_ / u"without.zip", false);
  EXPECT_EQ(ReadBytes(scratch_ / u"with.zip"), ReadBytes(scratch_ / u"without.zip"));
}

#ifdef __linux__
// Reading address 0 of our own memory fails with an I/O error once the file is open.
TEST_F(BackupArchiveTest, AReadErrorInTheSourceFailsAddFile) {
  const Text archive = scratch_ / u"readerror.zip";
  BackupArchiveWriter writer;
  ASSERT_TRUE(writer.Open(archive, 0));
  EXPECT_FALSE(writer.AddFile(u"/proc/self/mem", u"mem.dat", -1));
  const Text source = scratch_ / u"a.dat";
  ASSERT_TRUE(WriteBytes(source, {'a'}));
  EXPECT_TRUE(writer.AddFile(source, u"a.dat", -1)) << "the archive stays usable";
  EXPECT_TRUE(writer.Close());
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(Extract(reader, u"a.dat"), std::vector<uint8_t>{'a'});
}
#endif

TEST_F(BackupArchiveTest, ArchivesInFoldersThatDoNotExistCannotBeOpened) {
  BackupArchiveWriter writer;
  Text archive = scratch_ / u"no such folder";
  platform::AppendPath(archive, u"backup.zip");
  EXPECT_FALSE(writer.Open(archive, 0));
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_TRUE(writer.Close());
  BackupArchiveReader reader;
  EXPECT_FALSE(reader.Open(archive));
  EXPECT_FALSE(reader.Open(scratch_ / u"missing.zip"));
  EXPECT_FALSE(reader.IsOpen());
}

// ---- archives that lie ----

class BrokenArchiveTest : public BackupArchiveTest {
 protected:
  void SetUp() override {
    archive_ = scratch_ / u"broken.zip";
    destination_ = scratch_ / u"target";
    ASSERT_EQ(platform::MakeDirectory(destination_), platform::kSuccess);
    platform::AppendPath(destination_, u"history.dat");
    ASSERT_TRUE(WriteBytes(destination_, good_));
    ASSERT_TRUE(testing::SetLocalFileTime(destination_, {2015, 5, 5, 5, 5, 5}));
    goodTimes_ = testing::FileTimes(destination_);
  }

  // Writes one entry and hands back the archive's bytes.
  std::vector<uint8_t> Make(int level, const std::vector<uint8_t>& data) {
    EXPECT_TRUE(WriteArchive(archive_, {{names::kHistoryFile, data}}, level));
    return ReadBytes(archive_);
  }

  static size_t Find(const std::vector<uint8_t>& bytes, const char* signature, size_t from = 0) {
    auto it = std::search(bytes.begin() + static_cast<long>(from), bytes.end(), signature, signature + 4);
    return static_cast<size_t>(it - bytes.begin());
  }

  static void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }

  // Extraction must fail, and the good file stay as it was, with nothing left beside it.
  void ExpectRefusedWithoutTrace() {
    BackupArchiveReader reader;
    ASSERT_TRUE(reader.Open(archive_));
    ASSERT_TRUE(reader.LocateEntry(names::kHistoryFile, false));
    EXPECT_FALSE(reader.ExtractCurrentEntry(destination_));
    EXPECT_EQ(testing::FileTimes(destination_), goodTimes_);  // before reading moves the access time
    EXPECT_EQ(ReadBytes(destination_), good_);
    Text folder = destination_;
    platform::RemoveLastComponent(folder);
    EXPECT_EQ(ListFolder(folder), std::vector<Text>{u"history.dat"}) << "no temporary file may stay";
  }

  Text archive_, destination_;
  const std::vector<uint8_t> good_ = MixedData(4000, 10);
  std::vector<int64_t> goodTimes_;
};

TEST_F(BrokenArchiveTest, StoredDataThatDoesNotMatchItsCrc) {
  std::vector<uint8_t> bytes = Make(0, MixedData(50000, 11));
  bytes[30 + std::strlen("history.dat") + 25000] ^= 0x55;  // inside the stored data
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, DeflatedDataThatDoesNotMatchItsCrc) {
  std::vector<uint8_t> bytes = Make(-1, MixedData(50000, 12));
  // Both headers announce a different CRC: the data inflates cleanly but does not match.
  const size_t local = Find(bytes, "PK\x03\x04"), central = Find(bytes, "PK\x01\x02");
  ASSERT_LT(central, bytes.size());
  const uint32_t crc = bytes[central + 16] | bytes[central + 17] << 8 | bytes[central + 18] << 16 |
                       static_cast<uint32_t>(bytes[central + 19]) << 24;
  Put32(bytes, local + 14, crc ^ 1);
  Put32(bytes, central + 16, crc ^ 1);
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, CorruptDeflateStream) {
  std::vector<uint8_t> bytes = Make(-1, MixedData(50000, 13));
  const size_t central = Find(bytes, "PK\x01\x02");
  for (size_t i = 40; i < central - 40; i += 97) bytes[i] ^= 0xA5;
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, AnEntryThatClaimsMoreDataThanItHolds) {
  std::vector<uint8_t> bytes = Make(-1, MixedData(50000, 14));
  // minizip checks the CRC only once the announced size was read.
  const size_t local = Find(bytes, "PK\x03\x04"), central = Find(bytes, "PK\x01\x02");
  Put32(bytes, local + 22, 50001);
  Put32(bytes, central + 24, 50001);
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, AnEntryThatInflatesBeyondItsDeclaredSizeIsStoppedThere) {
  // A zip bomb: both headers declare 1,000 bytes and the CRC of those, the data inflates to 8 MiB.
  const std::vector<uint8_t> data(8 << 20, 'z');
  std::vector<uint8_t> bytes = Make(-1, data);
  const size_t local = Find(bytes, "PK\x03\x04"), central = Find(bytes, "PK\x01\x02");
  ASSERT_LT(central, bytes.size());
  const uint32_t crc = libdeflate_crc32(0, data.data(), 1000);
  Put32(bytes, local + 14, crc);
  Put32(bytes, central + 16, crc);
  Put32(bytes, local + 22, 1000);
  Put32(bytes, central + 24, 1000);
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
  BackupArchiveReader reader;
  uint64_t handedOver = 0;
  reader.Progress = [&](const Text&, uint64_t done, uint64_t) {
    handedOver = std::max(handedOver, done);
    return true;
  };
  ASSERT_TRUE(reader.Open(archive_));
  EXPECT_FALSE(reader.CheckCurrentEntry());
  EXPECT_FALSE(reader.ExtractCurrentEntry(scratch_ / u"bomb.dat"));
  EXPECT_LE(handedOver, 1000u) << "nothing beyond the declared size is produced";
}

TEST_F(BrokenArchiveTest, AnEntryOfAnUnknownMethod) {
  std::vector<uint8_t> bytes = Make(-1, MixedData(500, 15));
  const size_t local = Find(bytes, "PK\x03\x04"), central = Find(bytes, "PK\x01\x02");
  bytes[local + 8] = 99;
  bytes[central + 10] = 99;
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, NotAZipFileAndTruncatedArchivesDoNotOpen) {
  const std::vector<uint8_t> whole = Make(-1, MixedData(20000, 17));
  const std::vector<std::vector<uint8_t>> cases = {
      {},
      std::vector<uint8_t>(good_.begin(), good_.end()),
      {'P', 'K', 5, 6},
      std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)),
      std::vector<uint8_t>(whole.begin(), whole.end() - 22),  // no end record
      std::vector<uint8_t>(whole.begin(), whole.end() - 23),
      std::vector<uint8_t>(whole.begin() + 1, whole.begin() + 22),  // the end record's signature, cut
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(WriteBytes(archive_, cases[i]));
    BackupArchiveReader reader;
    EXPECT_FALSE(reader.Open(archive_)) << "case " << i;
    EXPECT_FALSE(reader.IsOpen());
  }
}

TEST_F(BrokenArchiveTest, ACutCommentIsNotRead) {
  const Text comment = u"Kestrove Client Backup File\nc\n2005-03-07T09:05:03Z\n";
  ASSERT_TRUE(WriteArchive(archive_, {{names::kHistoryFile, {'h'}}}, -1, &comment));
  std::vector<uint8_t> bytes = ReadBytes(archive_);
  bytes.resize(bytes.size() - 5);
  ASSERT_TRUE(WriteBytes(archive_, bytes));
  BackupArchiveReader reader;
  if (!reader.Open(archive_)) return;  // refusing the archive is as good
  Text read = u"keep";
  EXPECT_FALSE(reader.ReadGlobalComment(read));
  EXPECT_EQ(read, u"keep");
}

TEST_F(BrokenArchiveTest, AnArchiveCutInsideItsDataIsRefusedEntryByEntry) {
  // The central directory survives at its place, the data before it does not.
  std::vector<uint8_t> bytes = Make(-1, MixedData(20000, 18));
  const size_t central = Find(bytes, "PK\x01\x02");
  std::vector<uint8_t> holed(bytes.begin(), bytes.begin() + 60);
  holed.resize(central, 0);
  holed.insert(holed.end(), bytes.begin() + static_cast<long>(central), bytes.end());
  ASSERT_TRUE(WriteBytes(archive_, holed));
  ExpectRefusedWithoutTrace();
}

TEST_F(BrokenArchiveTest, ADestinationThatCannotBeWrittenFailsCleanly) {
  Make(-1, MixedData(2000, 19));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive_));
  ASSERT_TRUE(reader.LocateEntry(names::kHistoryFile, false));
  Text nowhere = scratch_ / u"missing folder";
  platform::AppendPath(nowhere, u"history.dat");
  EXPECT_FALSE(reader.ExtractCurrentEntry(nowhere));
  Text folder = destination_;
  platform::RemoveLastComponent(folder);
  EXPECT_FALSE(reader.ExtractCurrentEntry(folder)) << "a folder is not replaced by a file";
  EXPECT_EQ(ListFolder(folder), std::vector<Text>{u"history.dat"});

  ASSERT_TRUE(testing::SetReadOnly(destination_, true));
  ASSERT_TRUE(reader.LocateEntry(names::kHistoryFile, false));
  EXPECT_FALSE(reader.ExtractCurrentEntry(destination_)) << "a read-only file is not replaced";
  EXPECT_EQ(ReadBytes(destination_), good_);
  EXPECT_EQ(ListFolder(folder), std::vector<Text>{u"history.dat"});
  ASSERT_TRUE(testing::SetReadOnly(destination_, false));

  ASSERT_TRUE(reader.LocateEntry(names::kHistoryFile, false));
  EXPECT_TRUE(reader.ExtractCurrentEntry(destination_)) << "the reader stays usable";
}

// A directory that minizip opens but whose walk ends early restored only the entries before the
// damage, as a success.
TEST_F(BrokenArchiveTest, TheDirectoryCheckFindsEveryDamage) {
  ASSERT_TRUE(WriteArchive(archive_, {{u"settings.reg", {'s'}}, {u"history.dat", {'h'}}, {u"custom.dat", {'c'}}}));
  const std::vector<uint8_t> good = ReadBytes(archive_);
  const size_t directory = Find(good, "PK\1\2");
  const size_t end = Find(good, "PK\5\6");
  ASSERT_LT(directory, end);
  const size_t third = Find(good, "PK\1\2", Find(good, "PK\1\2", directory + 4) + 4);
  ASSERT_LT(third, end);

  struct Case {
    const char* fault;
    std::function<void(std::vector<uint8_t>&)> damage;
    bool damaged;
  };
  const std::vector<Case> cases = {
      {"none", [](std::vector<uint8_t>&) {}, false},
      {"garbage over the whole directory",
       [&](std::vector<uint8_t>& b) { std::fill(b.begin() + static_cast<long>(directory), b.begin() + static_cast<long>(end), 0xA5); },
       true},
      {"the third of three headers broken", [&](std::vector<uint8_t>& b) { b[third + 1] = 'X'; }, true},
      {"the end record counts one entry more",
       [&](std::vector<uint8_t>& b) {
         b[end + 8] = 4;
         b[end + 10] = 4;
       },
       true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.damage(bytes);
    ASSERT_TRUE(WriteBytes(archive_, bytes));
    BackupArchiveReader reader;
    // minizip refuses some damage at once; what it opens, the check must judge.
    if (!reader.Open(archive_)) {
      EXPECT_TRUE(c.damaged) << c.fault;
      continue;
    }
    EXPECT_EQ(reader.CheckDirectory(), !c.damaged) << c.fault;
    if (!c.damaged) {
      EXPECT_EQ(Extract(reader, u"custom.dat"), std::vector<uint8_t>{'c'}) << "the reader stays usable";
    }
  }
}

}  // namespace
}  // namespace kbt
