// ferrolt-cli must never change the source store or any file that existed before it ran, and
// whatever it wrote before it stopped holds whole messages only: after a broken mailbox, a full
// disk, a file size limit, a source cut short during the copy, a signal, or memory running out.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "convert/eml_export.h"
#include "notices/catalogue.h"
#include "tests/hardening/cli_runner.h"
#include "tests/support/mail_generator.h"
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
  // The first `count` files under `prefix` (relative to the work folder) hold the messages.
  void ExpectEmlFilesAt(const std::string& prefix, const StoreSpec& spec, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      std::string name = EmlFileName(Path(prefix), static_cast<int>(i) + 1);
      EXPECT_TRUE(ReadFileBytes(name) == spec.messages[i].bytes) << name;
    }
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

// Plain mail of about `size` bytes each, with no dot beside a line end.
StoreSpec PlainStore(const std::vector<size_t>& sizes) {
  StoreSpec spec;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string mail = "From: a@example.jp\r\nSubject: n" + std::to_string(i) + "\r\n\r\n";
    while (mail.size() + 72 <= sizes[i])
      mail += std::string(70, static_cast<char>('a' + i % 26)) + "\r\n";
    spec.messages.push_back({mail, 0, static_cast<uint32_t>(i % 3)});
  }
  return spec;
}

// The .eml files the run wrote, counted from 1 with no gap and nothing else in `folder`.
size_t CountEmlFiles(const std::string& folder, const std::string& prefix) {
  size_t written = 0;
  while (fs::exists(EmlFileName(prefix, static_cast<int>(written) + 1))) ++written;
  size_t present = 0;
  for (const auto& entry : fs::directory_iterator(folder)) present += entry.is_regular_file();
  EXPECT_EQ(present, written) << "a gap, or a file that is no .eml of the run";
  return written;
}

std::string CatalogueStart(int id) {
  std::string text;
  EXPECT_TRUE(LoadCatalogueText(id, &text));
  return text.substr(0, text.find("%d"));
}

// Stopped runs must exit with 128 + the signal, having finished the message in hand and written
// no other.
class InterruptTest : public DataSafetyTest {
 protected:
  static constexpr int kMessages = 20000;

  // Starts the program, waits until `has_output` says it has begun writing, then signals it.
  template <typename Ready>
  CliResult Interrupt(int signal_number, const std::vector<std::string>& arguments,
                      Ready has_output) {
    auto before = SnapshotFolder(Path("store"));
    pid_t child = StartCli(work_.path(), arguments);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!has_output() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, signal_number);
    CliResult result = FinishCli(work_.path(), child, 60);
    CheckUntouched(before);
    return result;
  }
};

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

TEST_F(InterruptTest, EmlStopsBetweenFilesAndEveryFileIsWhole) {
  StoreSpec spec = AddMailbox("Box", JapaneseStore(kMessages, 70, 40));
  for (int signal_number : kStopSignals) {
    std::string folder = Path("out" + std::to_string(signal_number));
    fs::create_directory(folder);
    std::string first = EmlFileName(folder + "/m", 1);
    CliResult result = Interrupt(signal_number, {"eml", "--prefix", folder + "/m", "store"},
                                 [&] { return fs::exists(first); });
    EXPECT_EQ(result.exit_code, 128 + signal_number) << result.err;
    EXPECT_EQ(result.out, "") << "no summary after an interrupted run";
    size_t written = CountEmlFiles(folder, folder + "/m");
    EXPECT_GE(written, 1u);
    EXPECT_LT(written, spec.messages.size()) << "the run ended before the signal came";
    for (size_t i = 0; i < written; ++i) {
      std::string name = EmlFileName(folder + "/m", static_cast<int>(i) + 1);
      EXPECT_TRUE(ReadFileBytes(name) == spec.messages[i].bytes) << name;
    }
  }
}

TEST_F(InterruptTest, ImportStopsAfterAWholeMessage) {
  StoreSpec spec = AddMailbox("Box", JapaneseStore(kMessages, 80, 200));
  for (int signal_number : kStopSignals) {
    std::string folder = "T" + std::to_string(signal_number);
    std::string target = Path(folder + "/Box.mbx");
    CliResult result = Interrupt(signal_number, {"import", "--to", folder, "store"}, [&] {
      std::error_code error;
      return fs::file_size(target, error) > 0 && !error;
    });
    EXPECT_EQ(result.exit_code, 128 + signal_number) << result.err;
    std::string written = ReadFileBytes(target);
    size_t count = MessageEnds(written).size();
    EXPECT_GE(count, 1u);
    EXPECT_LT(count, spec.messages.size()) << "the run ended before the signal came";
    // Only the messages before the signal matter: convert just those without trouble.
    StoreSpec before = spec;
    before.messages.resize(std::min(count + 1, spec.messages.size()));
    ExpectWholeMessages(written, SoundImport(before), count);
  }
}

// A signal must end a wait too: here a write to a pipe that nobody reads.
TEST_F(InterruptTest, ASignalEndsAWriteThatWaitsOnAFullPipe) {
  AddMailbox("Box", JapaneseStore(kMessages, 90, 10));
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  CliLaunch launch;
  launch.stdout_fd = ends[1];
  pid_t child = StartCli(work_.path(), {"list", "store/Box.mbx"}, launch);
  close(ends[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe fills in far less
  kill(child, SIGTERM);
  CliResult result = FinishCli(work_.path(), child, 20);
  close(ends[0]);
  EXPECT_FALSE(result.timed_out) << "the program went on waiting";
  EXPECT_EQ(result.exit_code, 128 + SIGTERM) << result.err;
}

// A file system of a few hundred kilobytes, mounted at a new folder when this process may
// mount one (root); the tests below skip otherwise.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, size_t bytes) : folder_(folder) {
    fs::create_directory(folder);
    std::string options = "size=" + std::to_string(bytes);
    mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST_F(DataSafetyTest, AFullDiskTakesBackTheMessageItCut) {
  StoreSpec spec = AddMailbox("Box", PlainStore(std::vector<size_t>(60, 20000)));
  SmallDisk eml_disk(Path("eml_disk"), 256 * 1024), import_disk(Path("import_disk"), 256 * 1024);
  if (!eml_disk.mounted() || !import_disk.mounted()) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); the file size limit test "
                    "covers a write that fails";
  }
  CliResult eml = Run({"eml", "--prefix", "eml_disk/m", "store"});
  EXPECT_EQ(eml.exit_code, 1);
  EXPECT_EQ(eml.err.rfind(CatalogueStart(kWriteOutputFailed) + "28>", 0), 0u) << eml.err;
  size_t written = CountEmlFiles(Path("eml_disk"), Path("eml_disk/m"));
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, spec.messages.size());
  ExpectEmlFilesAt("eml_disk/m", spec, written);

  CliResult import = Run({"import", "--to", "import_disk/T", "store"});
  EXPECT_EQ(import.exit_code, 1);
  EXPECT_EQ(import.err.rfind(CatalogueStart(kWriteOutputFailed) + "28>", 0), 0u) << import.err;
  std::string target = ReadFileBytes(Path("import_disk/T/Box.mbx"));
  size_t count = MessageEnds(target).size();
  EXPECT_GE(count, 1u);
  ExpectWholeMessages(target, SoundImport(spec), count);
}

// `ulimit -f`: the write past the limit fails (SIGXFSZ must not end the program) and is taken
// back like any failed write.
TEST_F(DataSafetyTest, AFileSizeLimitStopsTheRunWithWholeMessages) {
  StoreSpec eml_spec = AddMailbox("A", PlainStore({20000, 20000, 100000, 20000}));
  StoreSpec import_spec = AddMailbox("B", PlainStore(std::vector<size_t>(6, 20000)));
  CliLaunch launch;
  launch.file_size_limit = 64 * 1024;
  auto before = SnapshotFolder(Path("store"));
  CliResult eml = RunCli(work_.path(), {"eml", "--prefix", "out/m", "store/A.mbx"}, launch);
  EXPECT_EQ(eml.signal, 0);
  EXPECT_EQ(eml.exit_code, 1);
  EXPECT_EQ(eml.err.rfind(CatalogueStart(kWriteOutputFailed) + "27>", 0), 0u) << eml.err;
  EXPECT_EQ(CountEmlFiles(Path("out"), Path("out/m")), 2u);
  ExpectEmlFilesAt("out/m", eml_spec, 2);

  CliResult import = RunCli(work_.path(), {"import", "--to", "T", "store/B.mbx"}, launch);
  EXPECT_EQ(import.signal, 0);
  EXPECT_EQ(import.exit_code, 1);
  EXPECT_EQ(import.err.rfind(CatalogueStart(kWriteOutputFailed) + "27>", 0), 0u) << import.err;
  std::string target = ReadFileBytes(Path("T/B.mbx"));
  EXPECT_EQ(MessageEnds(target).size(), 3u);
  ExpectWholeMessages(target, SoundImport(import_spec), 3);
  CheckUntouched(before);
}

// The mailbox shrinks while its last message is copied (a disk going away, another program):
// the .eml begun for it goes, every earlier one stays whole.
TEST_F(DataSafetyTest, ASourceCutShortDuringTheCopyLeavesNoPartialFile) {
  std::vector<size_t> sizes(3000, 600);
  sizes.push_back(300000);
  StoreSpec spec = PlainStore(sizes);
  spec.with_index = false;
  BuiltStore store = BuildStore(spec);
  WriteStore(Path("store"), "Box", store);
  pid_t child = StartCli(work_.path(), {"eml", "--prefix", "out/m", "store/Box.mbx"});
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(Path("out/m00001.eml")) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(child, SIGSTOP);
  fs::resize_file(Path("store/Box.mbx"), store.record_offsets.back() + 16 + 100000);
  kill(child, SIGCONT);
  CliResult result = FinishCli(work_.path(), child, 60);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err.rfind(CatalogueStart(kReadSourceFailed) + "0>\n", 0), 0u) << result.err;
  EXPECT_EQ(CountEmlFiles(Path("out"), Path("out/m")), sizes.size() - 1);
  ExpectEmlFilesAt("out/m", spec, sizes.size() - 1);
}

// A header of 40 MB without an empty line under `ulimit -v 150000`: notice 62, not an abort.
TEST_F(DataSafetyTest, AMessageTooBigForMemoryGetsNotice62) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address space limit";
#endif
  StoreSpec spec;
  std::string header;
  while (header.size() < 40 * 1000 * 1000) header += "X-Filler: " + std::string(76, 'f') + "\r\n";
  spec.messages = {{header, 0, 0}};
  AddMailbox("Big", spec);
  CliLaunch launch;
  launch.memory_limit = uint64_t{150000} * 1024;
  CliResult result = RunCli(work_.path(), {"import", "--to", "T", "store"}, launch);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_code, 1);
  std::string out_of_memory;
  ASSERT_TRUE(LoadCatalogueText(kOutOfMemory, &out_of_memory));
  EXPECT_EQ(result.err, out_of_memory + "\n");
  EXPECT_EQ(ReadFileBytes(Path("T/Big.mbx")), "");
}

}  // namespace
}  // namespace ferrolt
