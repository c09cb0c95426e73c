// The platform layer's contract, run natively and as the Windows build under Wine.

#include "platform/files.h"

#include <gtest/gtest.h>

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

TEST(FilesTest, OpenForReadingNeedsAnExistingFileAndRefusesFolders) {
  TempFolder folder;
  File file;
  EXPECT_EQ(OpenFileForReading(folder.Join("missing.mbx"), &file).kind, IoKind::kNotFound);
  EXPECT_FALSE(file.is_open());

  std::filesystem::create_directory(folder.Join("box.mbx"));
  IoStatus status = OpenFileForReading(folder.Join("box.mbx"), &file);
  EXPECT_EQ(status.kind, IoKind::kOtherError);
  EXPECT_NE(status.code, 0);
  EXPECT_FALSE(SystemErrorText(status.code).empty());
}

TEST(FilesTest, CreateNewNeverTouchesAnExistingFile) {
  TempFolder folder;
  std::string path = folder.Join("out.eml");
  WriteFileBytes(path, "keep me");
  File file;
  EXPECT_EQ(CreateNewFile(path, &file).kind, IoKind::kAlreadyExists);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(ReadFileBytes(path), "keep me");

  std::filesystem::create_directory(folder.Join("dir.eml"));
  EXPECT_NE(CreateNewFile(folder.Join("dir.eml"), &file).kind, IoKind::kOk);
  EXPECT_EQ(CreateNewFile(folder.Join("nowhere") + kPathSeparator + "x", &file).kind,
            IoKind::kNotFound);
}

TEST(FilesTest, WriteSeekReadAndSizeAgree) {
  TempFolder folder;
  std::string path = folder.Join("data.bin");
  File file;
  ASSERT_TRUE(CreateNewFile(path, &file).ok());
  uint32_t moved = 0;
  ASSERT_TRUE(WriteToFile(file, "0123456789", 10, &moved).ok());
  EXPECT_EQ(moved, 10u);
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(file, &size).ok());
  EXPECT_EQ(size, 10u);
  ASSERT_TRUE(SeekFile(file, 6).ok());
  char buffer[8] = {};
  ASSERT_TRUE(ReadFromFile(file, buffer, 8, &moved).ok());
  EXPECT_EQ(moved, 4u);  // a short read at the end is not an error
  EXPECT_EQ(std::string(buffer, moved), "6789");
  ASSERT_TRUE(SeekFile(file, 100).ok());  // past the end: the next read is short
  ASSERT_TRUE(ReadFromFile(file, buffer, 1, &moved).ok());
  EXPECT_EQ(moved, 0u);
  CloseFile(&file);
  CloseFile(&file);
  EXPECT_FALSE(file.is_open());
}

std::vector<std::string> ListAll(const std::string& folder, IoKind* first_kind) {
  FolderListing listing;
  std::vector<std::string> names;
  std::string name;
  IoStatus status = StartMailboxListing(folder, &listing, &name);
  *first_kind = status.kind;
  while (status.ok()) {
    names.push_back(name);
    status = NextInListing(&listing, &name);
  }
  if (*first_kind == IoKind::kOk) {
    EXPECT_EQ(status.kind, IoKind::kEndOfListing);
  }
  CloseListing(&listing);
  return names;
}

TEST(FilesTest, ListingFindsMailboxNamesInAnyCaseAndEndsDistinctly) {
  TempFolder folder;
  std::string prefix = folder.path() + kPathSeparator;
  IoKind kind;
  EXPECT_TRUE(ListAll(prefix, &kind).empty());
  EXPECT_EQ(kind, IoKind::kNotFound);
  EXPECT_TRUE(ListAll(folder.Join("absent") + kPathSeparator, &kind).empty());
  EXPECT_EQ(kind, IoKind::kNotFound);

  WriteFileBytes(folder.Join("Inbox.mbx"), "");
  WriteFileBytes(folder.Join("OUTBOX.MBX"), "");
  WriteFileBytes(folder.Join("Inbox.idx"), "");
  WriteFileBytes(folder.Join("notes.mbxy"), "");
  std::filesystem::create_directory(folder.Join("Sub.mbx"));
  std::vector<std::string> names = ListAll(prefix, &kind);
  EXPECT_EQ(kind, IoKind::kOk);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Inbox.mbx", "OUTBOX.MBX", "Sub.mbx"}));
}

TEST(FilesTest, FolderFromTemplateReportsAnExistingFolder) {
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
    CloseFile(&file);  // the file system ignores case itself
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
