#pragma once

// Test stand-ins for the front end's seams: they record what the code under test showed.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "convert/progress_sink.h"
#include "platform/files.h"
#include "platform/notice_output.h"

namespace ferrolt::testing {

// Installs itself as the notice output for its lifetime.
class NoticeRecorder final : public NoticeOutput {
 public:
  NoticeRecorder() { SetNoticeOutput(this); }
  ~NoticeRecorder() override { SetNoticeOutput(nullptr); }
  void Show(const Notice& notice) override { notices.push_back(notice); }

  std::vector<Notice> notices;
};

// Records progress calls as short strings: "label:Inbox.mbx", "range:3", "step:1", "pos:0",
// "stepit".
class ProgressRecorder final : public ProgressSink {
 public:
  void SetLabel(const std::string& name) override { calls.push_back("label:" + name); }
  void SetRange(uint32_t upper) override { calls.push_back("range:" + std::to_string(upper)); }
  void SetStep(uint32_t step) override { calls.push_back("step:" + std::to_string(step)); }
  void SetPosition(uint32_t at) override { calls.push_back("pos:" + std::to_string(at)); }
  void StepIt() override { calls.push_back("stepit"); }

  std::vector<std::string> calls;
};

// A fresh folder under the system's temporary folder, removed with everything in it. The clock
// keeps the names of test processes running side by side apart, the counter those of one process.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("ferrolt-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    path_ = folder.string();
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string Join(const std::string& name) const { return path_ + kPathSeparator + name; }

 private:
  std::string path_;
};

}  // namespace ferrolt::testing
