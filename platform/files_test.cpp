// The platform layer's contract, run natively and as the Windows build under Wine.

#include "platform/files.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/locale_text.h"
#include "platform/mail_files.h"
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
    IoStatus status = OpenFileForReading(name, &file);
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

  EXPECT_EQ(RenameWithoutReplacing(path, kept).kind, IoKind::kAlreadyExists);
  EXPECT_EQ(ReadFileBytes(kept), "keep me");
  ASSERT_TRUE(RenameWithoutReplacing(path, folder.Join("free")).ok());
  EXPECT_EQ(ReadFileBytes(folder.Join("free")), "012next");
  EXPECT_EQ(RenameWithoutReplacing(path, folder.Join("x")).kind, IoKind::kNotFound);
  EXPECT_TRUE(RemoveFile(folder.Join("free")).ok());
  EXPECT_FALSE(fs::exists(folder.Join("free")));
  EXPECT_EQ(RemoveFile(folder.Join("free")).kind, IoKind::kNotFound);
}

// The listing is closed on every path: when it finds nothing (no folder, no name, or only names
// a "*.mbx" search matches through their short names), and by CloseListing after its end.
TEST(FilesTest, ListingFindsMailboxesInAnyCaseAndIsClosedOnEveryPath) {
  TempFolder folder;
  const std::string prefix = folder.path() + kPathSeparator;
  // The names found, sorted, then how the listing ended and whether it was left open.
  auto listed = [](const std::string& where) {
    FolderListing listing;
    std::string name;
    std::vector<std::string> names;
    IoStatus status = StartMailboxListing(where, &listing, &name);
    for (; status.ok(); status = NextInListing(&listing, &name)) names.push_back(name);
    if (status.kind == IoKind::kEndOfListing) CloseListing(&listing);
    std::sort(names.begin(), names.end());
    const char* const kKinds[] = {"ok", "not found", "exists", "end", "error"};
    names.push_back(kKinds[static_cast<int>(status.kind)] +
                    std::string(listing.native == -1 ? " closed" : " open"));
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(listed(folder.Join("absent") + kPathSeparator), Names{"not found closed"});
  EXPECT_EQ(listed(prefix), Names{"not found closed"});
  WriteFileBytes(folder.Join("notes.mbxy"), "");
  WriteFileBytes(folder.Join("Inbox.idx"), "");
  EXPECT_EQ(listed(prefix), Names{"not found closed"});
  WriteFileBytes(folder.Join("Inbox.mbx"), "");
  WriteFileBytes(folder.Join("OUTBOX.MBX"), "");
  fs::create_directory(folder.Join("Sub.mbx"));
  EXPECT_EQ(listed(prefix), (Names{"Inbox.mbx", "OUTBOX.MBX", "Sub.mbx", "end closed"}));
}

TEST(FilesTest, LastComponentFollowsTheLastSeparator) {
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
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  const std::string hyo = "\x95\x5C";
  EXPECT_EQ(LastComponentStart("C:\\mail\\" + hyo + ".mbx"), 8u);
  EXPECT_EQ(LastComponentStart(hyo + "\\x.mbx"), 3u);
  EXPECT_FALSE(EndsInPathSeparator("C:\\" + hyo));
  EXPECT_TRUE(EndsInPathSeparator("C:\\" + hyo + "\\"));
  EXPECT_EQ(PathAsText("C:\\" + hyo + "\\a.mbx"), "C:\\表\\a.mbx");
  EXPECT_EQ(PathAsText("plain"), "plain");
#endif
}

// Whatever a system puts for a byte that is no character, the text around it survives and no
// raw 8-bit byte is passed on as if it were UTF-8.
TEST(LocaleTextTest, Cp932BecomesUtf8AndInvalidBytesDoNotStopIt) {
  const char* const kCases[][2] = {
      {"", ""},
      {"plain", "plain"},
      {"\x82\xa0\x82\xa2", "あい"},
      {"\xb1\xba", "ｱｺ"},          // half-width katakana
      {"\x87\x40\xfa\x40", "①ⅰ"},  // code page 932's own additions
      {"\x81\x60", "～"},          // the wave dash as Windows maps it
  };
  for (const auto& [cp932, utf8] : kCases) EXPECT_EQ(Cp932ToUtf8(cp932), utf8) << utf8;
  for (const std::string cp932 : {"a\xa0z", "a\x82"}) {
    std::string utf8 = Cp932ToUtf8(cp932);
    EXPECT_EQ(utf8.front(), 'a') << cp932;
    EXPECT_EQ(utf8.find('\xa0'), std::string::npos) << cp932;
    EXPECT_NE(utf8, cp932);
  }
  EXPECT_EQ(Cp932ToUtf8("a\xa0z").back(), 'z');
}

}  // namespace
}  // namespace ferrolt
