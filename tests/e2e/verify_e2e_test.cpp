// "/verify" of good, damaged and foreign archives with the real exe: its report on standard output,
// its exit code, and a client profile that is the same before and after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "platform/registry.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
std::string Utf8(const Text& text) { return ToUtf8(text); }

std::vector<uint8_t> Noise(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = 12345;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// Flips a byte in the middle of the entry's compressed data, found after its local header's name.
void DamageEntry(const Text& archive, const std::string& entry) {
  std::vector<uint8_t> bytes = ReadBytes(archive);
  const std::string text(bytes.begin(), bytes.end());
  const size_t name = text.find(entry);
  ASSERT_NE(name, std::string::npos);
  bytes[name + entry.size() + 500] ^= 0x55;
  ASSERT_TRUE(WriteBytes(archive, bytes));
}

class VerifyE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"transfers.que", kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Display", u"Listview Bitmap", queue / u"list.bmp");
    ASSERT_TRUE(WriteBytes(data / u"history.dat", Noise(20000)));
    ASSERT_TRUE(WriteText(data / u"custom.dat", "custom commands"));
    ASSERT_TRUE(WriteText(favorites / u"favorites.dat", "favorite sites"));
    ASSERT_TRUE(WriteText(queue / u"transfers.que", "queued transfers"));
    ASSERT_TRUE(WriteText(queue / u"list.bmp", "BM list"));
  }

  ToolRun Tool(const std::wstring& arguments) {
    ToolOptions options;
    options.captureStandardOutput = true;
    options.captureStandardError = true;
    ToolRun run = RunTool(arguments, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << "a redirected check shows no box";
    return run;
  }

  // Every value of the client's key (the tool's own included) and every client file, with its bytes.
  std::pair<RegistrySnapshot, std::vector<std::vector<uint8_t>>> Profile() {
    std::vector<std::vector<uint8_t>> files;
    for (const Text& file : {data / u"history.dat", data / u"custom.dat", data / u"folders.dat",
                             favorites / u"favorites.dat", queue / u"transfers.que", queue / u"list.bmp"}) {
      files.push_back(ReadBytes(file));
    }
    return {SnapshotKey(u"Software\\Kestrove"), files};
  }

  ScratchFolder data, favorites, queue, archives;
};

TEST_F(VerifyE2E, ReportsWhatARestoreWouldDoAndChangesNothing) {
  const Text good = archives / u"good.zip", damaged = archives / u"damaged.zip", foreign = archives / u"foreign.zip",
             notZip = archives / u"not a zip.zip", truncated = archives / u"truncated.zip";
  ASSERT_EQ(Tool(L"/backup \"" + Wide(good) + L"\"").exitCode, 0u);
  ASSERT_TRUE(WriteBytes(damaged, ReadBytes(good)));
  DamageEntry(damaged, "history.dat");
  {
    BackupArchiveWriter writer;  // an ordinary zip: no backup's comment
    ASSERT_TRUE(writer.Open(foreign, 0));
    ASSERT_TRUE(writer.AddFile(data / u"custom.dat", u"custom.dat", 6));
    ASSERT_TRUE(writer.Close());
  }
  ASSERT_TRUE(WriteText(notZip, "just some text"));
  {
    const std::vector<uint8_t> whole = ReadBytes(good);  // a copy that stopped short
    ASSERT_TRUE(WriteBytes(truncated, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() * 6 / 10)));
  }

  struct Case {
    Text archive;
    DWORD exitCode;
    std::vector<std::string> lines;  // each must appear whole in the report
  };
  const std::string dataFolder = Utf8(data.Path()), queueFolder = Utf8(queue.Path());
  const Case cases[] = {
      {good, 0,
       {"archive\t" + Utf8(good), "entry\thistory.dat\t20000\tok", "entry\tsettings.reg\t",
        "key\tHKEY_CURRENT_USER\\Software\\Kestrove\\Transfer\t1",
        "destination\thistory.dat\t" + dataFolder + "\\history.dat",
        "destination\ttransfers.que\t" + queueFolder + "\\transfers.que",
        "destination\tlist.bmp\t" + queueFolder + "\\list.bmp",
        "destination\tfavorites.dat\t" + Utf8(favorites.Path()) + "\\favorites.dat", "result\tok"}},
      {damaged, 1,
       {"entry\thistory.dat\t20000\tdamaged", "entry\tcustom.dat\t15\tok",
        "problem\tThe entry \"history.dat\" is damaged.", "result\tfailed"}},
      {foreign, 1,
       {"problem\t\"" + Utf8(foreign) + "\" is not a valid Kestrove backup file!", "result\tfailed"}},
      {notZip, 1, {"problem\tThe file \"" + Utf8(notZip) + "\" is not a zip file, so it is no backup of this tool.", "result\tfailed"}},
      {truncated, 1,
       {"problem\tThe backup file \"" + Utf8(truncated) +
            "\" is damaged or incomplete, perhaps the copy was interrupted: its end is missing.",
        "result\tfailed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.archive));
    const auto before = Profile();
    const ToolRun run = Tool(L"/verify \"" + Wide(c.archive) + L"\"");
    EXPECT_EQ(run.exitCode, c.exitCode) << run.standardOutput;
    for (const std::string& line : c.lines) {
      EXPECT_NE(("\n" + run.standardOutput).find("\n" + line), std::string::npos) << line << "\n" << run.standardOutput;
    }
    EXPECT_TRUE(Profile() == before) << "the check changed the client's settings or files";
    EXPECT_FALSE(FileExists(data / u"folders.dat")) << "nothing restored";
  }
}

}  // namespace
}  // namespace kbt::testing
