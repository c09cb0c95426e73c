#ifndef FERROLT_TESTS_SUPPORT_RECORDERS_H_
#define FERROLT_TESTS_SUPPORT_RECORDERS_H_

// Test stand-ins for the front end's seams: they record what the code under test showed.

#include <filesystem>
#include <string>
#include <vector>

#include "convert/progress_sink.h"
#include "platform/notice_output.h"

namespace ferrolt::testing {

// Installs itself as the notice output for its lifetime.
class NoticeRecorder final : public NoticeOutput {
 public:
  NoticeRecorder();
  ~NoticeRecorder() override;
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
  void SetPosition(uint32_t position) override {
    calls.push_back("pos:" + std::to_string(position));
  }
  void StepIt() override { calls.push_back("stepit"); }

  std::vector<std::string> calls;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_SUPPORT_RECORDERS_H_
