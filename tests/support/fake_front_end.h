#ifndef FERROLT_TESTS_SUPPORT_FAKE_FRONT_END_H_
#define FERROLT_TESTS_SUPPORT_FAKE_FRONT_END_H_

// A run's front end for tests: answers from fields and records what the run asked.

#include <string>
#include <vector>

#include "convert/runs.h"
#include "tests/support/recorders.h"

namespace ferrolt::testing {

class FakeFrontEnd final : public RunFrontEnd {
 public:
  bool CheckTarget() override {
    events.push_back("check");
    return target_ok;
  }
  bool PrepareTarget(std::string* target_dir) override {
    events.push_back("prepare");
    *target_dir = target;
    return prepare_ok;
  }
  bool PromptExportPrefix(std::string* export_prefix) override {
    events.push_back("prompt");
    *export_prefix = prefix;
    return prefix_ok;
  }
  ProgressSink* OpenProgress() override {
    events.push_back("open");
    return progress_ok ? &progress : nullptr;
  }
  void CloseProgress() override { events.push_back("close"); }

  bool target_ok = true, prepare_ok = true, prefix_ok = true, progress_ok = true;
  std::string target, prefix;
  ProgressRecorder progress;
  std::vector<std::string> events;
};

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_SUPPORT_FAKE_FRONT_END_H_
