// Undo points: each an exact record of what its operation changes, kept in the order the
// operations ran whatever the clock says, and recoverable whatever moment a kill chose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/main_logic.h"
#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/undo/undo_point.h"
#include "operations/undo/undo_record.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "res/non_localizable.h"
#include "support/silent_shell.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::ReadBytes;
using testing::SeedDword;
using testing::SeedString;
using testing::WriteText;

using testing::SilentShell;

// A settings file as the tool writes it, with the given sections.
std::vector<uint8_t> SettingsFile(const std::string& sections) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + sections;
  std::vector<uint8_t> bytes{0xFF, 0xFE};
  for (char c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
  return bytes;
}

std::string HexString(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (char c : text + '\0') hex += std::string{kDigits[(c >> 4) & 15], kDigits[c & 15]} + ",00,";
  hex.pop_back();
  return hex;
}

class UndoPointTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    // S0: typed values (a folder kept as REG_SZ), an empty key, a bitmap, a queue, data files, and
    // a user's own picture and another program's queue beside them.
    SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
    SeedString(names::kClientKey, names::kFavoritesFolderValue, favorites.Path(), kRegSz);
    ASSERT_EQ(CreateKey(RegRoot::CurrentUser, u"Software\\Kestrove\\Sounds", kKeyWrite, &sounds_), kSuccess);
    CloseKey(sounds_);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedString(names::kDisplayKey, names::kListviewBitmapValue, pictures / u"list.bmp");
    SeedString(names::kQueueKey, names::kLastFileValue, pictures / u"mine.que", kRegExpandSz);
    WriteText(pictures / u"list.bmp", "S0 list");
    WriteText(pictures / u"mine.que", "S0 queue");
    WriteText(pictures / u"wedding.bmp", "the wedding");
    WriteText(pictures / u"jobs.que", "another program's jobs");
    // A reset of a complete profile succeeds.
    for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
      WriteText(data / name, "S0 " + ToUtf8(name));
    }
    WriteText(favorites / u"favorites.dat", "S0 favorites");
    s0_ = Settled();
  }

  // An archive that names the user's picture and the other program's queue, writes into keys
  // outside the key list and brings a history, a custom file and both named files.
  Text HostileArchive() {
    const Text path = archives / u"hostile.zip";
    const std::string settings =
        "[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n\"Listview Bitmap\"=hex(1):" +
        HexString(ToUtf8(pictures / u"wedding.bmp")) + "\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Queue]\r\n" +
        "\"Last File\"=hex(2):" + HexString(ToUtf8(pictures / u"jobs.que")) +
        "\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Extra\\Planted]\r\n\"Seed\"=hex(4):01,00,00,00\r\n"
        "\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Transfer]\r\n\"Retries\"=hex(1):39,00,00,00\r\n"
        "\r\n[HKEY_CURRENT_USER\\Software\\Kestrove]\r\n\"Favorites Folder\"=hex(1):78,00,00,00\r\n";
    testing::ScratchFolder staging;
    const std::pair<Text, std::vector<uint8_t>> entries[] = {
        {names::kSettingsFile, SettingsFile(settings)},
        {u"wedding.bmp", {'a', 'r', 'c', 'h', 'i', 'v', 'e'}},
        {u"jobs.que", {'a', 'r', 'c', 'h', 'i', 'v', 'e', ' ', 'q'}},
        {names::kHistoryFile, {'o', 't', 'h', 'e', 'r'}},
        {names::kCustomFile, {'n', 'e', 'w'}}};
    BackupArchiveWriter writer;
    EXPECT_TRUE(writer.Open(path, 0));
    for (const auto& [name, bytes] : entries) {
      EXPECT_TRUE(testing::WriteBytes(staging / name, bytes));
      EXPECT_TRUE(writer.AddFile(staging / name, name, -1));
    }
    writer.HasComment = true;
    writer.CommentText = u"Kestrove Client Backup File\n\n2026-01-01T00:00:00Z\n";
    EXPECT_TRUE(writer.Close());
    return path;
  }

  // The client as the tests compare it: every key (empty ones too) and value with its type, and
  // every file of every folder involved.
  struct State {
    testing::RegistrySnapshot settings;
    std::map<Text, std::vector<uint8_t>> files;
    bool operator==(const State& other) const { return settings == other.settings && files == other.files; }
  };
  State Now() const {
    State state{testing::SnapshotKey(names::kClientKey), {}};
    const Text tool = u"Software\\Kestrove\\Backup";  // the tool's own branch
    state.settings.erase(state.settings.lower_bound(tool), state.settings.upper_bound(tool + u"\xFFFF"));
    for (const testing::ScratchFolder* folder : {&data, &favorites, &pictures}) {
      std::vector<Text> names;
      EXPECT_TRUE(ListFileNames(folder->Path(), names));
      for (const Text& name : names) state.files[*folder / name] = ReadBytes(*folder / name);
    }
    return state;
  }

  // The client as a backup leaves it.
  State Settled() {
    EXPECT_EQ(Run(u"/backup \"" + (archives / u"settled.zip") + u"\""), kExitSuccess);
    return Now();
  }

  int Run(const Text& commandLine) {
    OperationRequest request(OperationMode::Backup);
    shell.reported.clear();
    return RunMainLogic(commandLine, request, shell);
  }
  std::string Reported() const { return shell.reported.empty() ? "" : ToUtf8(shell.reported.back()); }

  testing::ScratchFolder data, favorites, pictures, archives;
  SilentShell shell;
  RegHandle sounds_ = 0;
  State s0_;
};

// Each operation, then "/undo", gives exactly the state before it; undoing the undo gives the
// operation's result back.
TEST_F(UndoPointTest, UndoPutsBackExactlyWhatEachOperationChanged) {
  const Text archive = HostileArchive();
  const struct Case {
    const char* what;
    Text commandLine;
  } cases[] = {{"a restore of a hostile archive", u"/restore \"" + archive + u"\""}, {"a reset", u"/reset"}};
  for (const Case& c : cases) {
    const State before = Now();
    ASSERT_EQ(Run(c.commandLine), kExitSuccess) << c.what << ": " << Reported();
    const State after = Settled();
    ASSERT_FALSE(after == before) << c.what;
    EXPECT_EQ(Run(u"/undo"), kExitSuccess) << c.what << ": " << Reported();
    EXPECT_EQ(Now().settings, before.settings) << c.what;
    EXPECT_EQ(Now().files, before.files) << c.what;
    EXPECT_EQ(Run(u"/undo"), kExitSuccess) << c.what << ": " << Reported();
    EXPECT_EQ(Now().settings, after.settings) << c.what << ": the undo of the undo";
    EXPECT_EQ(Now().files, after.files) << c.what << ": the undo of the undo";
    ASSERT_EQ(Run(u"/undo"), kExitSuccess);
    ASSERT_TRUE(Now() == before);
  }
}

// What a kill leaves at each moment, and the state the next "/undo" must reach from there: the
// state before the operation that was killed, never one between two.
TEST_F(UndoPointTest, AfterAKillTheNextUndoReachesTheStateBeforeTheKilledOperation) {
  const Text restore = u"/restore \"" + HostileArchive() + u"\"";
  const auto points = [this]() { return ListUndoPoints(UndoFolder()); };
  const auto mark = [](const Text& point) { ASSERT_TRUE(WriteText(point + u"/underway", "")); };
  ASSERT_EQ(Run(u"/reset"), kExitSuccess) << Reported();
  SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);  // the client's next start
  const State s1 = Settled();
  const struct Case {
    const char* when;
    // Leaves what the kill would have left; returns the state before the killed operation.
    std::function<State()> kill;
    size_t pointsLeft;  // beside the reset's
    const char* told;   // what the undo says it found and did
  } cases[] = {
      {"while the undo point is written",  // nothing changed yet: the undo takes back the reset
       [&] {
         const Text partial = UndoFolder() + u"/" + UndoPointName(999);
         EXPECT_EQ(CreateDirectoryPath(partial), kSuccess);
         EXPECT_TRUE(WriteText(partial + u"/record.new", "KBTUNDO1H"));
         return s0_;
       },
       1, ""},
      {"after the last change",
       [&] {
         EXPECT_EQ(Run(restore), kExitSuccess) << Reported();
         mark(points().back());
         return s1;
       },
       0, "An earlier restore from"},
      {"half way",
       [&] {
         EXPECT_EQ(Run(restore), kExitSuccess) << Reported();
         mark(points().back());
         SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
         testing::RemoveTree(data / u"custom.dat");
         return s1;
       },
       0, "An earlier restore from"},
      {"while an undo runs",  // the undo the user asked for is completed, and its own point stays
       [&] {
         EXPECT_EQ(Run(restore), kExitSuccess) << Reported();
         EXPECT_EQ(Run(u"/undo"), kExitSuccess) << Reported();
         mark(points().back());
         WriteText(data / u"history.dat", "half undone");
         SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 9);
         return s1;
       },
       2, "An earlier undo was interrupted"}};
  for (const Case& c : cases) {
    ASSERT_EQ(points().size(), 1u) << c.when;
    const State expected = c.kill();
    EXPECT_EQ(Run(u"/undo"), kExitSuccess) << c.when << ": " << Reported();
    EXPECT_EQ(Reported().rfind(c.told, 0), 0u) << c.when << ": " << Reported();
    EXPECT_EQ(Now().settings, expected.settings) << c.when;
    EXPECT_EQ(Now().files, expected.files) << c.when;
    // A killed restore's undo point goes with it; none of the others is lost.
    EXPECT_EQ(points().size(), 1 + c.pointsLeft) << c.when;
    // Back to s1 with one undo point for the next case.
    if (!(Settled() == s1)) {
      ASSERT_EQ(Run(u"/noundo /undo"), kExitSuccess);
    }
    while (points().size() > 1) UndoPoint::Remove(points().back());
    ASSERT_TRUE(Settled() == s1) << c.when;
  }
  std::vector<Text> folders;
  ASSERT_TRUE(ListFolderNames(UndoFolder(), folders));
  EXPECT_EQ(folders.size(), 1u) << "what the kill left unfinished is gone";
}

// Undo points keep the order of the operations whatever the clock says, the newest ten stay, and
// an operation that changes nothing leaves none and costs none.
TEST_F(UndoPointTest, OrderRetentionAndNothingWrittenForNothingChanged) {
  // The native build's clock follows TZ; under Wine the zones stay as they are and only the order is seen.
  const char* zone = std::getenv("TZ");
  const std::string savedZone = zone ? zone : "";
  const auto setZone = [](const char* name) {
#ifndef _WIN32
    name ? ::setenv("TZ", name, 1) : ::unsetenv("TZ");
    ::tzset();
#else
    (void)name;
#endif
  };
  setZone("Etc/GMT-14");
  ASSERT_EQ(Run(u"/reset"), kExitSuccess) << Reported();
  const State afterReset = Settled();
  setZone("Etc/GMT+11");  // 25 hours earlier by the wall clock
  ASSERT_EQ(Run(u"/restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  setZone(zone ? savedZone.c_str() : nullptr);
  ASSERT_EQ(Run(u"/undo"), kExitSuccess);
  EXPECT_TRUE(Now() == afterReset) << "the restore, the later operation, was undone";

  const Text restore = u"/restore \"" + HostileArchive() + u"\"";
  for (int i = 0; i < 10; ++i) ASSERT_EQ(Run(restore), kExitSuccess) << Reported();
  std::vector<Text> points = ListUndoPoints(UndoFolder());
  ASSERT_EQ(points.size(), kUndoPointsKept);
  const Text newest = points.back();

  const struct Case {
    const char* what;
    Text commandLine;
  } refused[] = {{"a missing archive", u"/restore \"" + (archives / u"typo.zip") + u"\""},
                 {"a damaged undo point", u"/undo"}};
  ASSERT_TRUE(WriteText(newest + u"/record", "KBTUNDO1 damaged"));
  for (const Case& c : refused) {
    const State before = Settled();
    EXPECT_EQ(Run(c.commandLine), kExitOperationFailed) << c.what;
    EXPECT_EQ(ListUndoPoints(UndoFolder()), points) << c.what << ": no undo point written, none evicted";
    EXPECT_TRUE(Now() == before) << c.what;
  }
  EXPECT_NE(Reported().find(ToUtf8(newest)), std::string::npos) << "the undo names the point it cannot use";
}

// A restore replaces no file it could not give back: a user's picture and another program's queue
// named by the archive stay, the entries go to the data folder and the values follow them.
TEST_F(UndoPointTest, ARestoreLeavesFilesTheClientDoesNotNameAlone) {
  ASSERT_EQ(Run(u"/noundo /restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  EXPECT_EQ(testing::ReadBytes(pictures / u"wedding.bmp"), std::vector<uint8_t>({'t', 'h', 'e', ' ', 'w', 'e', 'd', 'd', 'i', 'n', 'g'}));
  EXPECT_EQ(ReadBytes(pictures / u"jobs.que").size(), 22u) << "another program's queue";
  EXPECT_EQ(ReadBytes(data / u"wedding.bmp").size(), 7u);
  EXPECT_EQ(ReadBytes(data / u"queue.dat").size(), 9u);
  EXPECT_EQ(testing::ReadValue(names::kDisplayKey, names::kListviewBitmapValue).data,
            testing::StringBytes(data / u"wedding.bmp"));
  EXPECT_EQ(testing::ReadValue(names::kQueueKey, names::kLastFileValue).data, testing::StringBytes(data / u"queue.dat"));
}


// A record edited by hand or by another program never leads an undo outside the client's places:
// the point is refused whole and nothing changes. Kept files are checked one by one when they are
// put back: a changed one is named and left out, and the registry still comes back.
TEST_F(UndoPointTest, ATamperedRecordLeadsNowhereAndAChangedKeptFileCostsOnlyItself) {
  const Text outside = archives / u"thesis.docx";
  WriteText(outside, "the user's thesis");
  Text toolFolder = UndoFolder();
  RemoveLastComponent(toolFolder);
  const Status made = CreateDirectoryPath(toolFolder);  // the runs so far may have left their record there
  ASSERT_TRUE(made == kSuccess || made == kAlreadyExists) << made;
  const Text toolData = toolFolder + u"/history.dat";
  WriteText(toolData, "the tool's");
  SeedString(u"Software\\Kestrove\\Backup\\1.0", u"Last File", u"kept");
  const struct {
    const char* what;
    undo_record::Tag tag;
    Text path;
  } refused[] = {
      {"a file that is no client's", undo_record::kFileTag, outside},
      {"a data file in the tool's own folder", undo_record::kFileTag, toolData},
      {"the tool's branch spelled with a doubled separator", undo_record::kValueTag, u"Software\\Kestrove\\\\Backup\\1.0"},
      {"a key beside the client's", undo_record::kKeyTag, u"Software\\KestroveX"},
  };
  for (const auto& c : refused) {
    const State before = Settled();
    const auto tool = testing::SnapshotKey(u"Software\\Kestrove\\Backup");
    const Text point = PathIn(UndoFolder(), UndoPointName(900));
    ASSERT_EQ(CreateDirectoryPath(point), kSuccess);
    undo_record::RecordWriter out;
    ASSERT_TRUE(out.Open(point + u"/record"));
    undo_record::WriteHeader(out, {static_cast<uint32_t>(UndoKind::Restore), 900, 0, Text()});
    out.Record(c.tag);
    out.Field(c.path);
    if (c.tag == undo_record::kValueTag) out.Field(Text(u"Last File"));
    out.Byte(0);  // did not exist: the undo would delete it
    if (c.tag == undo_record::kValueTag) {
      out.Number32(0);
      out.Field(std::vector<uint8_t>());
    }
    ASSERT_TRUE(out.Finish());
    EXPECT_EQ(Run(u"/undo"), kExitOperationFailed) << c.what;
    EXPECT_NE(Reported().find(ToUtf8(point)), std::string::npos) << c.what << ": " << Reported();
    EXPECT_TRUE(Now() == before) << c.what;
    EXPECT_EQ(testing::SnapshotKey(u"Software\\Kestrove\\Backup"), tool) << c.what;
    EXPECT_TRUE(FileExists(outside) && FileExists(toolData)) << c.what;
    UndoPoint::Remove(point);
  }

  // A restore's point whose kept files were all changed after they were kept, keeping their size.
  const State before = Settled();
  ASSERT_EQ(Run(u"/restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  const State restored = Settled();
  const Text point = ListUndoPoints(UndoFolder()).back();
  std::vector<Text> kept;
  ASSERT_TRUE(ListFileNames(point, kept));
  size_t changed = 0;
  for (const Text& name : kept) {
    if (name == u"record" || name == u"underway") continue;
    const std::vector<uint8_t> bytes = ReadBytes(point + u"/" + name);
    testing::RemoveTree(point + u"/" + name);  // a new file: the kept one may share its bytes
    ASSERT_TRUE(testing::WriteBytes(point + u"/" + name, std::vector<uint8_t>(bytes.size(), 'X')));
    ++changed;
  }
  ASSERT_GT(changed, 0u);
  const size_t points = ListUndoPoints(UndoFolder()).size();
  EXPECT_EQ(Run(u"/undo"), kExitOperationFailed);
  EXPECT_EQ(Now().settings, before.settings) << "every key and value came back";
  for (const auto& [file, bytes] : Now().files) {
    const auto was = restored.files.find(file);
    if (was != restored.files.end() && before.files.count(file)) {
      EXPECT_EQ(bytes, was->second) << ToUtf8(file) << ": a changed kept file is not put back";
    }
  }
  EXPECT_NE(Reported().find("was changed after it was kept"), std::string::npos) << Reported();
  EXPECT_EQ(ListUndoPoints(UndoFolder()).size(), points + 1) << "the undo that failed part way keeps its point";
}

// What the client wrote below a key that a restore created comes back with the undo of the undo;
// the tool's own branch below a key the restore created survives the undo.
TEST_F(UndoPointTest, AnUndoRecordsTheTreesItDeletesAndSparesTheToolsBranch) {
  testing::RemoveTree(UndoFolder());
  testing::DeleteKey(names::kClientKey);
  ASSERT_EQ(Run(u"/restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  SeedString(u"Software\\Kestrove\\Extra\\Planted\\Site", u"Password", u"secret");
  const State written = Settled();  // the backup writes the tool's branch below the new client key
  const auto tool = testing::SnapshotKey(u"Software\\Kestrove\\Backup");
  ASSERT_FALSE(tool.empty());
  ASSERT_EQ(Run(u"/undo"), kExitSuccess) << Reported();
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove\\Extra"));
  EXPECT_EQ(testing::SnapshotKey(u"Software\\Kestrove\\Backup"), tool) << "the tool's branch is never the undo's";
  ASSERT_EQ(Run(u"/undo"), kExitSuccess) << Reported();
  EXPECT_EQ(Now().settings, written.settings);
}

// An operation cut short is put right before the next one, which says so; one whose undo point
// is damaged stops the next operation until the user says to go on.
TEST_F(UndoPointTest, TheNextOperationPutsRightAnInterruptedOneOrStopsAtADamagedPoint) {
  const Text restore = u"/restore \"" + HostileArchive() + u"\"";
  ASSERT_EQ(Run(restore), kExitSuccess) << Reported();
  const Text point = ListUndoPoints(UndoFolder()).back();
  ASSERT_TRUE(WriteText(point + u"/underway", ""));
  SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);  // half way: not yet restored
  ASSERT_EQ(Run(restore), kExitSuccess) << Reported();
  ASSERT_FALSE(shell.reported.empty()) << "the restore says what it found";
  EXPECT_EQ(shell.reported.front().rfind(u"An earlier restore from", 0), 0u) << Reported();
  EXPECT_EQ(ListUndoPoints(UndoFolder()).size(), 1u) << "the interrupted restore's point went with its rollback";

  const Text damaged = ListUndoPoints(UndoFolder()).back();
  ASSERT_TRUE(WriteText(damaged + u"/underway", ""));
  ASSERT_TRUE(WriteText(damaged + u"/record", "KBTUNDO1 damaged"));
  const State before = Now();
  for (const Text& commandLine : {restore, Text(u"/reset"), Text(u"/undo")}) {
    EXPECT_EQ(Run(commandLine), kExitOperationFailed) << ToUtf8(commandLine);
    EXPECT_NE(Reported().find("/ignoreinterrupted"), std::string::npos) << Reported();
    EXPECT_TRUE(Now() == before) << ToUtf8(commandLine);
  }
  EXPECT_EQ(Run(u"/ignoreinterrupted /reset"), kExitSuccess) << Reported();
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove\\Transfer"));
}

// A data file with another name elsewhere is kept as a copy: what another program writes through
// that name after the restore never reaches the undo.
TEST_F(UndoPointTest, AFileWithAnotherNameIsKeptAsACopy) {
  const Text elsewhere = archives / u"history-elsewhere.dat";
  ASSERT_TRUE(LinkOrCopyFile(data / names::kHistoryFile, elsewhere));
  const std::vector<uint8_t> history = ReadBytes(data / names::kHistoryFile);
  ASSERT_EQ(Run(u"/restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  ASSERT_NE(ReadBytes(data / names::kHistoryFile), history);
  ASSERT_TRUE(WriteText(elsewhere, "another program's later edit"));
  ASSERT_EQ(Run(u"/undo"), kExitSuccess) << Reported();
  EXPECT_EQ(ReadBytes(data / names::kHistoryFile), history);
}

#ifndef _WIN32
// Kept files swapped for links to another file of the user's lead nowhere: the undo names them and
// leaves the client's files as they are, and the other file stays the user's alone.
TEST_F(UndoPointTest, AKeptFileThatIsALinkIsNeverFollowed) {
  const Text secret = archives / u"secret.txt";
  WriteText(secret, "the user's secret");
  ASSERT_EQ(Run(u"/restore \"" + HostileArchive() + u"\""), kExitSuccess) << Reported();
  const State restored = Now();
  const Text point = ListUndoPoints(UndoFolder()).back();
  std::vector<Text> kept;
  ASSERT_TRUE(ListFileNames(point, kept));
  for (const Text& name : kept) {
    if (name == u"record" || name == u"underway") continue;
    testing::RemoveTree(point + u"/" + name);
    ASSERT_EQ(::symlink(ToUtf8(secret).c_str(), ToUtf8(point + u"/" + name).c_str()), 0);
  }
  EXPECT_EQ(Run(u"/undo"), kExitOperationFailed);
  EXPECT_TRUE(std::any_of(shell.reported.begin(), shell.reported.end(),
                          [](const Text& message) { return message.find(u"is a link") != Text::npos; }));
  for (const auto& [file, bytes] : Now().files) {
    FileIdentity identity;
    ASSERT_TRUE(GetFileIdentity(file, &identity));
    EXPECT_FALSE(identity.isLink) << ToUtf8(file);
  }
  EXPECT_EQ(ReadBytes(data / names::kHistoryFile), restored.files.at(data / names::kHistoryFile)) << "left as it is";
  WriteText(data / names::kHistoryFile, "written after the undo");
  EXPECT_EQ(ReadBytes(secret), std::vector<uint8_t>(std::begin("the user's secret"), std::end("the user's secret") - 1));
}
#endif

// Folders an operation created go with its undo, deepest first, as long as they are empty.
TEST_F(UndoPointTest, FoldersARestoreCreatedGoWithItsUndo) {
  const Text deep = pictures / u"new";
  ASSERT_EQ(CreateDirectoryPath(PathIn(deep, u"deeper")), kSuccess);
  const Text bitmap = PathIn(PathIn(deep, u"deeper"), u"list.bmp");
  WriteText(bitmap, "BM");
  SeedString(names::kDisplayKey, names::kListviewBitmapValue, bitmap);
  const Text archive = archives / u"deep.zip";
  ASSERT_EQ(Run(u"/backup \"" + archive + u"\""), kExitSuccess) << Reported();
  testing::RemoveTree(deep);
  ASSERT_EQ(Run(u"/restore \"" + archive + u"\""), kExitSuccess) << Reported();
  ASSERT_TRUE(FileExists(bitmap));
  ASSERT_EQ(Run(u"/undo"), kExitSuccess) << Reported();
  EXPECT_FALSE(IsExistingFolder(deep));
}

}  // namespace
}  // namespace kbt
