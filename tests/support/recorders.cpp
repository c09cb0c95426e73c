#include "tests/support/recorders.h"

#include <atomic>
#include <chrono>
#include <system_error>

#include "platform/files.h"

namespace ferrolt::testing {

NoticeRecorder::NoticeRecorder() { SetNoticeOutput(this); }
NoticeRecorder::~NoticeRecorder() { SetNoticeOutput(nullptr); }

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("ferrolt-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(folder);
  path_ = folder.string();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Join(const std::string& name) const {
  return path_ + kPathSeparator + name;
}

}  // namespace ferrolt::testing
