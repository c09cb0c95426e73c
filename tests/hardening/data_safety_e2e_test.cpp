// ferrolt-cli must never change the source store or any file that existed before it ran, and
// whatever it wrote before it stopped (a failure, a broken mailbox, Ctrl-C) holds whole
// messages only.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "convert/eml_export.h"
#include "kanji/mail_generator.h"
#include "tests/hardening/cli_runner.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

constexpr std::string_view kSeparator = "\r\n.\r\n";

// A dot beside a line end could make a separator inside a message, which would hide where
// messages end in a target mailbox.
bool CouldMakeASeparator(const std::string& mail) {
  for (const char* pair : {"\n.", "\r.", ".\r", ".\n"}) {
    if (mail.find(pair) != std::string::npos) return true;
  }
  return false;
}

// Japanese mail in all three codes; every fifth message unread, none deleted, so the n-th
// .eml file is the n-th message.
StoreSpec JapaneseStore(int count, uint32_t seed, int body_chars) {
  const kanji::MailCode kCodes[] = {kanji::MailCode::kIso2022Jp, kanji::MailCode::kShiftJis,
                                    kanji::MailCode::kEucJp};
  kanji::MailShape shape;
  shape.body_chars = body_chars;
  StoreSpec spec;
  for (int i = 0; i < count; ++i) {
    std::string mail;
    do {
      mail = kanji::GenerateMail(seed++, kCodes[i % 3], shape);
    } while (CouldMakeASeparator(mail));
    spec.messages.push_back(
        {mail, static_cast<uint8_t>(i % 5 == 1 ? 2 : 0), static_cast<uint32_t>(i % 4)});
  }
  spec.seed = seed;
  return spec;
}

// Where each whole message ends in a target mailbox: just after each separator.
std::vector<size_t> MessageEnds(const std::string& target) {
  std::vector<size_t> ends;
  for (size_t at = target.find(kSeparator); at != std::string::npos;
       at = target.find(kSeparator, at + 1)) {
    ends.push_back(at + kSeparator.size());
  }
  return ends;
}

class DataSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(Path("store"));
    fs::create_directory(Path("out"));
  }
  std::string Path(const std::string& name) const { return work_.Join(name); }
  StoreSpec AddMailbox(const std::string& name, const StoreSpec& spec) {
    WriteStore(Path("store"), name, BuildStore(spec));
    return spec;
  }
  // A file that was there before the run, with an old modification time.
  void AddOldFile(const std::string& name, const std::string& bytes) {
    WriteFileBytes(Path(name), bytes);
    AgeFile(Path(name));
    old_files_[name] = SnapshotFolder(work_.path())[name];
  }
  // Runs the program and checks that the store and every old file are exactly as they were.
  CliResult Run(const std::vector<std::string>& arguments) {
    auto before = SnapshotFolder(Path("store"));
    CliResult result = RunCli(work_.path(), arguments);
    CheckUntouched(before);
    return result;
  }
  void CheckUntouched(const std::map<std::string, FileState>& store_before) {
    EXPECT_TRUE(SnapshotFolder(Path("store")) == store_before) << "the source store changed";
    auto now = SnapshotFolder(work_.path());
    for (const auto& [name, state] : old_files_) {
      EXPECT_TRUE(now[name] == state) << name << " was modified";
    }
  }
  // The target mailbox a run without trouble writes for `spec`, made in a folder of its own.
  std::string SoundImport(const StoreSpec& spec) {
    TempFolder other;
    fs::create_directory(other.Join("store"));
    WriteStore(other.Join("store"), "Box", BuildStore(spec));
    CliResult result = RunCli(other.path(), {"import", "--to", "T", "store"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::string target = ReadFileBytes(other.Join("T/Box.mbx"));
    EXPECT_EQ(MessageEnds(target).size(), spec.messages.size()) << "a separator inside a message";
    return target;
  }
  // Checks that `written` is `sound` up to the end of message `count`.
  void ExpectWholeMessages(const std::string& written, const std::string& sound, size_t count) {
    std::vector<size_t> ends = MessageEnds(sound);
    ASSERT_GE(ends.size(), count);
    size_t length = count == 0 ? 0 : ends[count - 1];
    EXPECT_EQ(written.size(), length);
    EXPECT_TRUE(written == sound.substr(0, length)) << "the written messages differ";
  }
  void ExpectEmlFiles(const StoreSpec& spec, int first_number, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      std::string name = EmlFileName(Path("out/m"), first_number + static_cast<int>(i));
      EXPECT_TRUE(ReadFileBytes(name) == spec.messages[i].bytes) << name;
    }
  }

  TempFolder work_;
  std::map<std::string, FileState> old_files_;
};

TEST_F(DataSafetyTest, SuccessfulRunsWriteOnlyNewFiles) {
  StoreSpec a = AddMailbox("A", JapaneseStore(6, 10, 300));
  StoreSpec b = JapaneseStore(4, 20, 300);
  b.with_index = false;
  AddMailbox("B", b);
  fs::create_directory(Path("Corvane"));
  AddOldFile("out/keep.eml", "an earlier export");
  AddOldFile("out/m.txt", "notes");
  AddOldFile("Corvane/Other.mbx", "a mailbox of the target client");

  CliResult eml = Run({"eml", "--prefix", "out/m", "store/A.mbx", "store/B.mbx"});
  EXPECT_EQ(eml.exit_code, 0) << eml.err;
  ExpectEmlFiles(a, 1, 6);
  ExpectEmlFiles(b, 7, 4);
  CliResult import = Run({"import", "--to", "Corvane", "store"});
  EXPECT_EQ(import.exit_code, 0) << import.err;
  EXPECT_EQ(MessageEnds(ReadFileBytes(Path("Corvane/A.mbx"))).size(), 6u);
  EXPECT_EQ(MessageEnds(ReadFileBytes(Path("Corvane/B.mbx"))).size(), 4u);
}

TEST_F(DataSafetyTest, AnExistingOutputFileStopsTheRunAndKeepsItsBytesAndTime) {
  StoreSpec a = AddMailbox("A", JapaneseStore(5, 30, 200));
  AddMailbox("B", JapaneseStore(3, 40, 200));
  AddOldFile("out/m00003.eml", "precious");
  fs::create_directory(Path("T"));
  AddOldFile("T/B.mbx", "precious too");

  CliResult eml = Run({"eml", "--prefix", "out/m", "store/A.mbx"});
  EXPECT_EQ(eml.exit_code, 1);
  EXPECT_NE(eml.err.find("out/m00003.eml"), std::string::npos) << eml.err;
  ExpectEmlFiles(a, 1, 2);
  EXPECT_FALSE(fs::exists(Path("out/m00004.eml")));

  CliResult import = Run({"import", "--to", "T", "store/A.mbx", "store/B.mbx"});
  EXPECT_EQ(import.exit_code, 1);
  ExpectWholeMessages(ReadFileBytes(Path("T/A.mbx")), SoundImport(a), a.messages.size());
}

TEST_F(DataSafetyTest, ABrokenMailboxKeepsEveryWholeMessageWrittenBeforeIt) {
  StoreSpec a = AddMailbox("A", JapaneseStore(3, 50, 200));
  StoreSpec b = JapaneseStore(5, 60, 200);
  BuiltStore broken = BuildStore(b);
  // The third message claims to run past the end of the mailbox.
  PutU32(&broken.mailbox, broken.record_offsets[2] + kMessageLengthField,
         static_cast<uint32_t>(broken.mailbox.size()));
  WriteStore(Path("store"), "B", broken);

  CliResult eml = Run({"eml", "--prefix", "out/m", "store/A.mbx", "store/B.mbx"});
  EXPECT_EQ(eml.exit_code, 1);
  ExpectEmlFiles(a, 1, 3);
  ExpectEmlFiles(b, 4, 2);
  EXPECT_FALSE(fs::exists(Path("out/m00006.eml")));

  CliResult import = Run({"import", "--to", "T", "store/A.mbx", "store/B.mbx"});
  EXPECT_EQ(import.exit_code, 1);
  ExpectWholeMessages(ReadFileBytes(Path("T/A.mbx")), SoundImport(a), 3);
  ExpectWholeMessages(ReadFileBytes(Path("T/B.mbx")), SoundImport(b), 2);
}

// Ctrl-C lands while the run writes: the program must finish the message in hand, write no
// other, and exit with 130.
class InterruptTest : public DataSafetyTest {
 protected:
  static constexpr int kMessages = 20000;

  // Starts the program, waits until `has_output` says it has begun writing, then interrupts.
  template <typename Ready>
  CliResult Interrupt(const std::vector<std::string>& arguments, Ready has_output) {
    auto before = SnapshotFolder(Path("store"));
    pid_t child = StartCli(work_.path(), arguments);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!has_output() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGINT);
    CliResult result = FinishCli(work_.path(), child);
    CheckUntouched(before);
    return result;
  }
};

TEST_F(InterruptTest, EmlStopsBetweenFilesAndEveryFileIsWhole) {
  StoreSpec spec = AddMailbox("Box", JapaneseStore(kMessages, 70, 40));
  std::string first = Path("out/m00001.eml");
  CliResult result =
      Interrupt({"eml", "--prefix", "out/m", "store"}, [&] { return fs::exists(first); });
  EXPECT_EQ(result.exit_code, 130) << result.err;
  EXPECT_EQ(result.out, "") << "no summary after an interrupted run";
  size_t written = 0;
  while (fs::exists(EmlFileName(Path("out/m"), static_cast<int>(written) + 1))) ++written;
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(Path("out")), {})), written);
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, spec.messages.size()) << "the run ended before the interrupt came";
  ExpectEmlFiles(spec, 1, written);
}

TEST_F(InterruptTest, ImportStopsAfterAWholeMessage) {
  StoreSpec spec = AddMailbox("Box", JapaneseStore(kMessages, 80, 200));
  std::string target = Path("T/Box.mbx");
  CliResult result = Interrupt({"import", "--to", "T", "store"}, [&] {
    std::error_code error;
    return fs::file_size(target, error) > 0 && !error;
  });
  EXPECT_EQ(result.exit_code, 130) << result.err;
  std::string written = ReadFileBytes(target);
  size_t count = MessageEnds(written).size();
  EXPECT_GE(count, 1u);
  EXPECT_LT(count, spec.messages.size()) << "the run ended before the interrupt came";
  // Only the messages before the interrupt matter: convert just those without trouble.
  spec.messages.resize(std::min(count + 1, spec.messages.size()));
  ExpectWholeMessages(written, SoundImport(spec), count);
}

}  // namespace
}  // namespace ferrolt
