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

// A device is no mailbox, and opening one must not wait for it. (Wine and Windows: the NUL
// device; POSIX: a FIFO without a writer, which a blocking open would wait on for ever, and a
// character device.)
TEST(FilesTest, OpenForReadingRefusesDevicesWithoutWaiting) {
  TempFolder folder;
#if defined(_WIN32)
  std::vector<std::string> devices = {"NUL", folder.Join("NUL")};
#else
  std::vector<std::string> devices = {folder.Join("fifo.mbx"), "/dev/null"};
  ASSERT_EQ(mkfifo(devices[0].c_str(), 0600), 0);
#endif
  for (const std::string& device : devices) {
    File file;
    IoStatus status = OpenFileForReading(device, &file);
    EXPECT_EQ(status.kind, IoKind::kOtherError) << device;
    EXPECT_NE(status.code, 0);
    EXPECT_FALSE(file.is_open());
  }
  WriteFileBytes(folder.Join("plain.mbx"), "JMF6");
  File plain;
  ASSERT_TRUE(OpenFileForReading(folder.Join("plain.mbx"), &plain).ok());
  char bytes[4];
  uint32_t moved = 0;
  EXPECT_TRUE(ReadFromFile(plain, bytes, 4, &moved).ok());
  EXPECT_EQ(moved, 4u);
  CloseFile(&plain);
}

TEST(FilesTest, TruncateCutsAnOpenFileAndRemoveDeletesAClosedOne) {
  TempFolder folder;
  std::string path = folder.Join("target.mbx");
  File file;
  ASSERT_TRUE(CreateNewFile(path, &file).ok());
  uint32_t moved = 0;
  ASSERT_TRUE(WriteToFile(file, "whole\r\n.\r\nhal", 13, &moved).ok());
  ASSERT_TRUE(TruncateFile(file, 10).ok());
  ASSERT_TRUE(WriteToFile(file, "next", 4, &moved).ok());  // goes on where the cut is
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(file, &size).ok());
  EXPECT_EQ(size, 14u);
  ASSERT_TRUE(TruncateFile(file, 0).ok());
  ASSERT_TRUE(WriteToFile(file, "again", 5, &moved).ok());
  CloseFile(&file);
  EXPECT_EQ(ReadFileBytes(path), "again");

  ASSERT_TRUE(CreateNewFile(path + "2", &file).ok());
  ASSERT_TRUE(WriteToFile(file, "whole\r\n.\r\nhal", 13, &moved).ok());
  ASSERT_TRUE(TruncateFile(file, 10).ok());
  CloseFile(&file);
  EXPECT_EQ(ReadFileBytes(path + "2"), "whole\r\n.\r\n");

  EXPECT_TRUE(RemoveFile(path).ok());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(RemoveFile(path).kind, IoKind::kNotFound);
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

#if !defined(_WIN32)
// Mail is private: what the program creates is its owner's alone, even under an open umask
// and a template folder open to all.
TEST(FilesTest, NewFilesAndFoldersAreTheOwnersOnly) {
  TempFolder folder;
  mode_t old_mask = umask(0);
  std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
  File file;
  bool created = CreateNewFile(folder.Join("a.eml"), &file).ok();
  CloseFile(&file);
  bool made = CreateFolderFromTemplate(folder.path(), folder.Join("T")).ok();
  umask(old_mask);
  ASSERT_TRUE(created && made);
  struct stat info;
  ASSERT_EQ(stat(folder.Join("a.eml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  ASSERT_EQ(stat(folder.Join("T").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
}
#endif

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
