// The platform layer's contract, run natively and as the Windows build under Wine, where the
// folder listing, the registry and the window list are the real ones (natively the settings are
// an in-memory table).

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/files.h"
#include "platform/locale_text.h"
#include "platform/mail_files.h"
#include "platform/system_settings.h"
#include "platform/system_settings_fixture.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// Only an existing plain file is opened: a folder or a device is no mailbox, and opening one
// must not wait for it (POSIX: a FIFO without a writer, which a blocking open would wait on for
// ever). Nothing existing is replaced, by a new file, a new folder or a rename.
TEST(FilesTest, OpenCreateReadWriteCutRenameAndRemove) {
  TempFolder folder;
  const std::string kept = folder.Join("kept.eml"), path = folder.Join("data.bin");
  WriteFileBytes(kept, "keep me");
  fs::create_directory(folder.Join("box.mbx"));
#if defined(_WIN32)
  const std::string refused[] = {folder.Join("box.mbx"), "NUL", folder.Join("NUL")};
#else
  const std::string refused[] = {folder.Join("box.mbx"), folder.Join("fifo"), "/dev/null"};
  ASSERT_EQ(mkfifo(refused[1].c_str(), 0600), 0);
#endif
  File file;
  EXPECT_EQ(OpenFileForReading(folder.Join("missing.mbx"), &file).kind, IoKind::kNotFound);
  for (const std::string& name : refused) {
    IoStatus status = OpenFileForReading(name, &file);  // an error the system explains
    EXPECT_EQ(status.kind, IoKind::kOtherError) << name;
    EXPECT_NE(status.code, 0) << name;
    EXPECT_NE(SystemErrorText(status.code), "") << name;
  }
  EXPECT_EQ(CreateNewFile(kept, &file).kind, IoKind::kAlreadyExists);
  EXPECT_NE(CreateNewFile(folder.path(), &file).kind, IoKind::kOk);
  const std::string deep = folder.Join("nowhere") + kPathSeparator + "x";
  EXPECT_EQ(CreateNewFile(deep, &file).kind, IoKind::kNotFound);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(CreateFolderFromTemplate(folder.path(), folder.Join("box.mbx")).kind,
            IoKind::kAlreadyExists);
  EXPECT_EQ(CreateFolderFromTemplate(folder.path(), deep).kind, IoKind::kNotFound);
  ASSERT_TRUE(CreateFolderFromTemplate(folder.path(), folder.Join("From MS-IM")).ok());
  EXPECT_TRUE(fs::is_directory(folder.Join("From MS-IM")));

  ASSERT_TRUE(CreateNewFile(path, &file).ok());
  uint32_t moved = 0;
  ASSERT_TRUE(WriteToFile(file, "0123456789", 10, &moved).ok());
  EXPECT_EQ(moved, 10u);
  ASSERT_TRUE(SeekFile(file, 6).ok());
  char buffer[8] = {};
  ASSERT_TRUE(ReadFromFile(file, buffer, 8, &moved).ok());
  EXPECT_EQ(std::string(buffer, moved), "6789");  // a short read at the end is no error
  ASSERT_TRUE(SeekFile(file, 100).ok());
  ASSERT_TRUE(ReadFromFile(file, buffer, 1, &moved).ok());
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(TruncateFile(file, 3).ok());
  ASSERT_TRUE(WriteToFile(file, "next", 4, &moved).ok());  // goes on where the cut is
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(file, &size).ok());
  EXPECT_EQ(size, 7u);
  CloseFile(&file);
  CloseFile(&file);
  EXPECT_FALSE(file.is_open());

  Folder top;
  ASSERT_TRUE(OpenFolder(folder.path(), &top).ok());
  EXPECT_EQ(MoveWithoutReplacing(top, "data.bin", top, "kept.eml").kind, IoKind::kAlreadyExists);
  EXPECT_EQ(ReadFileBytes(kept), "keep me");
  ASSERT_TRUE(MoveWithoutReplacing(top, "data.bin", top, "free").ok());
  EXPECT_EQ(ReadFileBytes(folder.Join("free")), "012next");
  EXPECT_EQ(MoveWithoutReplacing(top, "data.bin", top, "x").kind, IoKind::kNotFound);
  EXPECT_TRUE(RemoveFile(folder.Join("free")).ok());
  EXPECT_EQ(RemoveFile(folder.Join("free")).kind, IoKind::kNotFound);
  EXPECT_EQ(RemoveFileIn(top, "free").kind, IoKind::kNotFound);
  CloseFolder(&top);
  CloseFolder(&top);
  EXPECT_FALSE(top.is_open());
}

// What is made in a held folder stays in it, whatever takes its name: on POSIX the folder may be
// moved aside and a link put in its place, which is never followed; on Windows nobody can move
// the folder while it is held. A link as the last component is not opened as a folder.
TEST(MailFilesTest, HeldFolderKeepsWhatIsMadeInIt) {
  TempFolder folder;
  const std::string box = folder.Join("box"), elsewhere = folder.Join("elsewhere");
  Folder top, held, again;
  ASSERT_TRUE(OpenFolder(folder.path() + kPathSeparator, &top).ok());
  EXPECT_EQ(top.path, folder.path() + kPathSeparator);
  ASSERT_TRUE(CreateSubfolder(top, "box", &held).ok());
  EXPECT_EQ(held.path, box + kPathSeparator);
  EXPECT_EQ(CreateSubfolder(top, "box", &again).kind, IoKind::kAlreadyExists);
  std::error_code refused;
  fs::rename(box, folder.Join("aside"), refused);
#if defined(_WIN32)
  EXPECT_TRUE(refused);
#else
  ASSERT_FALSE(refused);
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, box);
  for (const std::string& link : {box, box + "/"}) {
    EXPECT_EQ(OpenFolder(link, &again).kind, IoKind::kOtherError) << link;
  }
#endif
  EXPECT_FALSE(again.is_open());
  File file;
  ASSERT_TRUE(CreateNewFileIn(held, "m", &file).ok());
  CloseFile(&file);
  EXPECT_EQ(CreateNewFileIn(held, "m", &file).kind, IoKind::kAlreadyExists);
  ASSERT_TRUE(MoveWithoutReplacing(held, "m", held, "n").ok());
  EXPECT_TRUE(fs::exists(folder.Join(refused ? "box" : "aside") + kPathSeparator + "n"));
  EXPECT_TRUE(!fs::exists(elsewhere) || fs::is_empty(elsewhere));
  EXPECT_TRUE(RemoveFileIn(held, "n").ok());
  CloseFolder(&held);
  CloseFolder(&top);
}

// Each failure keeps its kind: a file open for reading is neither written nor cut, a folder is no
// file to remove. Positions past 4 GB are reached. Of a name's spellings the byte-smallest is
// found, and a name found nowhere leaves the answer as it was.
TEST(FilesTest, FailureKindsPositionsPast4GbAndSpellingsOfAName) {
  TempFolder folder;
  const std::string path = folder.Join("Box.mbx"), big = folder.Join("big");
  WriteFileBytes(path, "mail");
  fs::create_directory(folder.Join("sub"));
  File file;
  uint32_t moved = 1;
  ASSERT_TRUE(OpenFileForReading(path, &file).ok());
  EXPECT_EQ(WriteToFile(file, "x", 1, &moved).kind, IoKind::kOtherError);
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(TruncateFile(file, 1).kind, IoKind::kOtherError);
  CloseFile(&file);
  EXPECT_EQ(ReadFileBytes(path), "mail");
  EXPECT_EQ(RemoveFile(folder.Join("sub")).kind, IoKind::kOtherError);
  EXPECT_EQ(std::tuple(IsExistingFolder(folder.Join("sub")), IsExistingFolder(path),
                       IsExistingFolder(folder.Join("none"))),
            std::tuple(true, false, false));

  const uint64_t past = (uint64_t{1} << 32) + 5;
  char byte = 0;
  uint64_t size = 0;
  ASSERT_TRUE(CreateNewFile(big, &file).ok());
  ASSERT_TRUE(SeekFile(file, past).ok());
  EXPECT_TRUE(WriteToFile(file, "x", 1, &moved).ok());
  EXPECT_TRUE(GetFileSize(file, &size).ok());
  EXPECT_EQ(size, past + 1);
  EXPECT_TRUE(SeekFile(file, past).ok());
  EXPECT_TRUE(ReadFromFile(file, &byte, 1, &moved).ok());
  EXPECT_EQ(byte, 'x');
  // Positioned reads: past 4 GB, across the end (fewer bytes) and beyond it (none, no failure).
  char two[2] = {0, 0};
  for (const auto& [at, want] : {std::pair{past, 1u}, {past + 1, 0u}, {past + 9, 0u}}) {
    IoStatus status = ReadFromFileAt(file, at, two, 2, &moved);
    EXPECT_EQ(std::tuple(status.kind, moved), std::tuple(IoKind::kOk, want)) << at;
  }
  EXPECT_EQ(two[0], 'x');
  CloseFile(&file);
  EXPECT_TRUE(RemoveFile(big).ok());

#if !defined(_WIN32)  // Windows names ignore case themselves: no sibling is looked for there
  std::string found = "none";
  WriteFileBytes(folder.Join("box.MBX"), "");
  EXPECT_TRUE(FindSiblingIgnoringCase(folder.Join("BOX.mbx"), &found));
  EXPECT_EQ(found, path);
  EXPECT_FALSE(FindSiblingIgnoringCase(folder.Join("Box.mb"), &found));
  EXPECT_FALSE(FindSiblingIgnoringCase(folder.Join("none") + kPathSeparator + "Box.mbx", &found));
  EXPECT_EQ(found, path);
#endif
}

// A listing names every entry, folders too, but "." and ".."; one that cannot start leaves
// nothing open. PathExists sees files and folders alike.
TEST(FilesTest, ListingNamesEveryEntryAndPathExistsSeesThem) {
  TempFolder folder;
  const std::string prefix = folder.path() + kPathSeparator;
  // The names found, sorted, then how the listing ended and whether it was left open.
  auto listed = [](const std::string& where) {
    FolderListing listing;
    std::string name;
    std::vector<std::string> names;
    IoStatus status = StartFolderListing(where, &listing);
    if (status.ok()) {
      while ((status = NextInListing(&listing, &name)).ok()) names.push_back(name);
      CloseListing(&listing);
    }
    std::sort(names.begin(), names.end());
    const char* const kKinds[] = {"ok", "not found", "exists", "end", "error"};
    names.push_back(kKinds[static_cast<int>(status.kind)] +
                    std::string(listing.native == -1 ? " closed" : " open"));
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(listed(folder.Join("absent") + kPathSeparator), Names{"not found closed"});
  EXPECT_EQ(listed(prefix), Names{"end closed"});
  WriteFileBytes(folder.Join("Inbox.mbx"), "");
  fs::create_directory(folder.Join("sub"));
  EXPECT_EQ(listed(prefix), (Names{"Inbox.mbx", "sub", "end closed"}));
  EXPECT_TRUE(PathExists(folder.Join("Inbox.mbx")) && PathExists(folder.Join("sub")));
  EXPECT_FALSE(PathExists(folder.Join("absent")));
}

// Whatever a system puts for a byte that is no character, the text around it survives and no
// raw 8-bit byte is passed on as if it were UTF-8.
TEST(FilesTest, PathsSplitAfterTheLastSeparatorAndCp932BecomesUtf8) {
  const char* const kCases[][2] = {
      {"", ""},
      {"plain", "plain"},
      {"\x82\xa0\x82\xa2", "あい"},
      {"\xb1\xba", "ｱｺ"},          // half-width katakana
      {"\x87\x40\xfa\x40", "①ⅰ"},  // code page 932's own additions
      {"\x81\x60", "～"},          // the wave dash as Windows maps it
  };
  for (const auto& [cp932, utf8] : kCases) EXPECT_EQ(Cp932ToUtf8(cp932), utf8) << utf8;
  const std::string invalid = Cp932ToUtf8("a\xa0z"), cut = Cp932ToUtf8("a\x82");
  EXPECT_TRUE(invalid.size() > 2 && invalid.front() == 'a' && invalid.back() == 'z' &&
              invalid.find('\xa0') == std::string::npos)
      << invalid;
  EXPECT_TRUE(!cut.empty() && cut[0] == 'a' && cut != "a\x82") << cut;
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(LastComponentStart("a" + sep + "b" + sep + "Inbox.mbx"), 4u);
  EXPECT_EQ(LastComponentStart("Inbox.mbx"), 0u);
  EXPECT_EQ(LastComponentStart("a" + sep), 2u);
  EXPECT_TRUE(EndsInPathSeparator("a" + sep));
  EXPECT_FALSE(EndsInPathSeparator("a"));
  EXPECT_FALSE(EndsInPathSeparator(""));
#if defined(_WIN32)
  // In the Japanese ANSI code page the second byte of a double-byte character can be a backslash
  // (0x95 0x5C is 表): it separates nothing, and the path reaches notices as UTF-8.
  if (!UserReadsJapanese()) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  const std::string hyo = "\x95\x5C";
  EXPECT_EQ(LastComponentStart("C:\\mail\\" + hyo + ".mbx"), 8u);
  EXPECT_EQ(LastComponentStart(hyo + "\\x.mbx"), 3u);
  EXPECT_FALSE(EndsInPathSeparator("C:\\" + hyo));
  EXPECT_TRUE(EndsInPathSeparator("C:\\" + hyo + "\\"));
  EXPECT_EQ(PathAsText("C:\\" + hyo + "\\a.mbx"), "C:\\表\\a.mbx");
  EXPECT_EQ(PathAsText("plain"), "plain");
#endif
}

// Outputs for today's clients are named in UTF-8 on POSIX: an old disk's code page 932 names are
// converted, a name valid in neither is escaped, never written raw. Windows keeps its ANSI names.
// A file's time is read back as it was set.
TEST(MailFilesTest, OutputNamesAndFileTimes) {
  const char* const kNames[][2] = {
      {"Inbox", "Inbox"},
      {"受信トレイ", "受信トレイ"},  // already UTF-8
      {"\x8e\xf3\x90\x4d\x83\x67\x83\x8c\x83\x43", "受信トレイ"},
      {"\x91\x97\x90\x4d\x83\x67\x83\x8c\x83\x43", "送信トレイ"},
      {"\xb1\xba \x87\x40", "ｱｺ ①"},
      {"\x95\x5c", "表"},                    // a trail byte that is a backslash in ASCII
      {"a\xff%b\x82", "a%FF%25b%82"},        // neither: 0xFF is no lead byte, 0x82 is cut off
      {"\xed\xa0\x80\x1b", "%ED%A0%80%1B"},  // a UTF-8 surrogate, and a control byte
      {"\xc0\xaf", "ﾀｯ"},                    // no UTF-8 (an overlong "/"), but two half-width kana
  };
  for (const auto& [name, output] : kNames) {
#if defined(_WIN32)
    EXPECT_EQ(MailboxOutputName(name), name);
#else
    EXPECT_EQ(MailboxOutputName(name), output) << output;
#endif
  }
  TempFolder folder;
  File file;
  ASSERT_TRUE(CreateNewFile(folder.Join("dated"), &file).ok());
  int64_t modified = 0;
  EXPECT_TRUE(SetFileTime(file, 862794660).ok());
  EXPECT_TRUE(FileModifiedTime(file, &modified).ok());
  EXPECT_EQ(modified, 862794660);
  CloseFile(&file);
}

constexpr char kProbeKey[] = "Software\\FerroltProbe\\Deep\\Key";

// A value of kProbeKey read as a string, then as a number; "no:" and the output as it was left
// when a read fails.
std::string Read(const char* name) {
  std::string text = "untouched";
  uint32_t number = 7;
  bool read_text = ReadRegistryString(kProbeKey, name, &text);
  bool read_number = ReadRegistryDword(kProbeKey, name, &number);
  return (read_text ? text : "no:" + text) + " " + (read_number ? "" : "no:") +
         std::to_string(number);
}

// A name that merely begins like an existing key is another key. The type of a value is not
// looked at: a string is the stored bytes up to the first NUL or the end; a number needs
// exactly four bytes. Names ignore case.
TEST(SystemSettingsTest, KeysExistWithTheKeysAboveThemAndValuesAreReadByTheirBytes) {
  ScratchSystemSettings settings;
  EXPECT_FALSE(RegistryKeyExists(kProbeKey));
  EXPECT_EQ(Read("Missing"), "no:untouched no:7");
  settings.AddKey(kProbeKey);
  EXPECT_TRUE(RegistryKeyExists(kProbeKey));
  EXPECT_TRUE(RegistryKeyExists("Software\\FerroltProbe\\Deep"));
  EXPECT_TRUE(RegistryKeyExists("software\\FERROLTPROBE\\deep\\key"));
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Dee"));
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Deep\\Key\\Below"));
  std::string long_path = "C:\\";
  for (int i = 0; long_path.size() < 5000; ++i) long_path += "folder" + std::to_string(i) + "\\";
  settings.AddString(kProbeKey, "Long", long_path);
  settings.AddString(kProbeKey, "Empty", "");
  settings.AddDword(kProbeKey, "Number", 0x41);
  settings.AddBytes(kProbeKey, "Cut", std::string("abc\0def", 7));
  settings.AddBytes(kProbeKey, "Unterminated", "xyz");
  settings.AddBytes(kProbeKey, "FourBytes", std::string("\x05\x00\x00\x00", 4));
  settings.AddBytes(kProbeKey, "Short", std::string("\x05\x00", 2));
  settings.AddBytes(kProbeKey, "Eight", std::string(8, 'x'));
  settings.AddBytes(kProbeKey, "None", "");
  const std::pair<const char*, std::string> kValues[] = {
      {"Missing", "no:untouched no:7"},
      {"long", long_path + " no:7"},
      {"Empty", " no:7"},
      {"Cut", "abc no:7"},
      {"Unterminated", "xyz no:7"},
      {"number", "A 65"},
      {"FourBytes", "\x05 5"},
      {"Short", "\x05 no:7"},
      {"Eight", "xxxxxxxx no:7"},
      {"None", " no:7"},
  };
  for (const auto& [name, expected] : kValues) EXPECT_EQ(Read(name), expected) << name;
}

TEST(SystemSettingsTest, KeysThatMayOnlyBeReadAreRead) {
  ScratchSystemSettings settings;
  settings.AddString(kProbeKey, "HomeDir", "C:\\Mail\\");
  settings.AddDword(kProbeKey, "DefUser", 2);
  if (!settings.MakeKeyReadOnly(kProbeKey)) {
    GTEST_SKIP() << "this system has no access rights on its settings";
  }
  EXPECT_EQ(Read("HomeDir"), "C:\\Mail\\ no:7");
  EXPECT_EQ(Read("DefUser"), "\x02 2");
}

TEST(SystemSettingsTest, WindowIsFoundByClassAndOptionalTitle) {
  ScratchSystemSettings settings;
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeFrame", nullptr));
  if (!settings.OpenWindow("FerroltProbeFrame", "Probe Title")) {
    GTEST_SKIP() << "this system cannot create a window (no display?)";
  }
  EXPECT_TRUE(TopLevelWindowExists("FerroltProbeFrame", nullptr));
  EXPECT_TRUE(TopLevelWindowExists("ferroltprobeframe", "Probe Title"));
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeFrame", "Other Title"));
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeOther", nullptr));
}

}  // namespace
}  // namespace ferrolt
