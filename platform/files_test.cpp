// The platform layer's contract, run natively and as the Windows build under Wine.

#include "platform/files.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

// A folder or a device is no mailbox, and opening one must not wait for it (POSIX: a FIFO
// without a writer, which a blocking open would wait on for ever).
TEST(FilesTest, OpenForReadingTakesOnlyAnExistingPlainFile) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Join("box.mbx"));
#if defined(_WIN32)
  std::vector<std::string> refused = {folder.Join("box.mbx"), "NUL", folder.Join("NUL")};
#else
  std::vector<std::string> refused = {folder.Join("box.mbx"), folder.Join("fifo"), "/dev/null"};
  ASSERT_EQ(mkfifo(refused[1].c_str(), 0600), 0);
#endif
  File file;
  EXPECT_EQ(OpenFileForReading(folder.Join("missing.mbx"), &file).kind, IoKind::kNotFound);
  for (const std::string& path : refused) {
    IoStatus status = OpenFileForReading(path, &file);
    EXPECT_EQ(status.kind, IoKind::kOtherError) << path;
    EXPECT_FALSE(SystemErrorText(status.code).empty());
    EXPECT_NE(status.code, 0);
    EXPECT_FALSE(file.is_open());
  }
}

TEST(FilesTest, CreateWriteSeekReadTruncateAndRemove) {
  TempFolder folder;
  std::string path = folder.Join("out.eml");
  WriteFileBytes(path, "keep me");
  File file;
  EXPECT_EQ(CreateNewFile(path, &file).kind, IoKind::kAlreadyExists);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(ReadFileBytes(path), "keep me");
  EXPECT_NE(CreateNewFile(folder.path(), &file).kind, IoKind::kOk);
  EXPECT_EQ(CreateNewFile(folder.Join("nowhere") + kPathSeparator + "x", &file).kind,
            IoKind::kNotFound);

  path = folder.Join("data.bin");
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
  EXPECT_EQ(ReadFileBytes(path), "012next");
  EXPECT_TRUE(RemoveFile(path).ok());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(RemoveFile(path).kind, IoKind::kNotFound);
}

// The listing is closed on every path: when it finds nothing (no folder, no name, or only names
// a "*.mbx" search matches through their short names), and by CloseListing after its end.
TEST(FilesTest, ListingFindsMailboxesInAnyCaseAndIsClosedOnEveryPath) {
  TempFolder folder;
  std::string prefix = folder.path() + kPathSeparator;
  FolderListing listing;
  std::string name;
  EXPECT_EQ(StartMailboxListing(folder.Join("absent") + kPathSeparator, &listing, &name).kind,
            IoKind::kNotFound);
  EXPECT_EQ(listing.native, -1);
  EXPECT_EQ(StartMailboxListing(prefix, &listing, &name).kind, IoKind::kNotFound);
  EXPECT_EQ(listing.native, -1);
  WriteFileBytes(folder.Join("notes.mbxy"), "");
  WriteFileBytes(folder.Join("Inbox.idx"), "");
  EXPECT_EQ(StartMailboxListing(prefix, &listing, &name).kind, IoKind::kNotFound);
  EXPECT_EQ(listing.native, -1);

  WriteFileBytes(folder.Join("Inbox.mbx"), "");
  WriteFileBytes(folder.Join("OUTBOX.MBX"), "");
  std::filesystem::create_directory(folder.Join("Sub.mbx"));
  std::vector<std::string> names;
  IoStatus status = StartMailboxListing(prefix, &listing, &name);
  while (status.ok()) {
    names.push_back(name);
    status = NextInListing(&listing, &name);
  }
  EXPECT_EQ(status.kind, IoKind::kEndOfListing);
  CloseListing(&listing);
  EXPECT_EQ(listing.native, -1);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Inbox.mbx", "OUTBOX.MBX", "Sub.mbx"}));
}

// That mail and its folder are the owner's only, under any umask, is checked end to end.
TEST(FilesTest, FolderFromTemplateIsMadeOnce) {
  TempFolder folder;
  std::string made = folder.Join("From MS-IM");
  EXPECT_TRUE(CreateFolderFromTemplate(folder.path(), made).ok());
  EXPECT_TRUE(std::filesystem::is_directory(made));
  EXPECT_EQ(CreateFolderFromTemplate(folder.path(), made).kind, IoKind::kAlreadyExists);
  IoStatus deep = CreateFolderFromTemplate(folder.path(), folder.Join("a") + kPathSeparator + "b");
  EXPECT_EQ(deep.kind, IoKind::kNotFound);
}

TEST(FilesTest, SiblingOfAnotherCaseIsFoundOnlyWhereNamesAreCaseSensitive) {
  TempFolder folder;
  WriteFileBytes(folder.Join("INBOX.IDX"), "");
  std::string found;
  File file;
  if (OpenFileForReading(folder.Join("INBOX.idx"), &file).ok()) {
    CloseFile(&file);
    GTEST_SKIP() << "names ignore case on this file system";
  }
  ASSERT_TRUE(FindSiblingIgnoringCase(folder.Join("INBOX.idx"), &found));
  EXPECT_EQ(found, folder.Join("INBOX.IDX"));
  EXPECT_FALSE(FindSiblingIgnoringCase(folder.Join("OTHER.idx"), &found));
}

TEST(FilesTest, LastComponentFollowsTheLastSeparator) {
  std::string sep(1, kPathSeparator);
  EXPECT_EQ(LastComponentStart("a" + sep + "b" + sep + "Inbox.mbx"), 4u);
  EXPECT_EQ(LastComponentStart("Inbox.mbx"), 0u);
  EXPECT_EQ(LastComponentStart("a" + sep), 2u);
  EXPECT_TRUE(EndsInPathSeparator("a" + sep));
  EXPECT_FALSE(EndsInPathSeparator("a"));
  EXPECT_FALSE(EndsInPathSeparator(""));
}

}  // namespace
}  // namespace ferrolt
