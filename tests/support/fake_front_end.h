#pragma once

// A run's front end for tests: answers from fields and records what the run asked.

#include <string>
#include <vector>

#include "convert/runs.h"
#include "tests/support/recorders.h"

namespace ferrolt::testing {

class FakeFrontEnd final : public RunFrontEnd {
 public:
  bool CheckTarget() override { return Asked("check", target_ok); }
  bool PrepareTarget(std::string* target_dir) override {
    *target_dir = target;
    return Asked("prepare", prepare_ok);
  }
  bool PromptExportPrefix(std::string* export_prefix) override {
    *export_prefix = prefix;
    return Asked("prompt", prefix_ok);
  }
  ProgressSink* OpenProgress() override { return Asked("open", progress_ok) ? &progress : nullptr; }
  void CloseProgress() override { Asked("close", true); }

  bool target_ok = true, prepare_ok = true, prefix_ok = true, progress_ok = true;
  std::string target, prefix;
  ProgressRecorder progress;
  std::vector<std::string> events;

 private:
  bool Asked(const char* event, bool answer) {
    events.push_back(event);
    return answer;
  }
};

}  // namespace ferrolt::testing
