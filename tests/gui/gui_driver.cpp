// The GUI test driver: run under Wine by tests/gui/run.sh, one phase per start, because the
// registry and the screen density change between phases.
//   gui_driver.exe PHASE FERROLT_EXE FAKE_CLIENT_EXE DATA_ROOT SHOTS_FOLDER
// Prints one line per check and a count; the exit code is the number of failures (at most 100).

#include <cstdio>
#include <string>

#include "tests/gui/gui_cases.h"
#include "tests/gui/harness.h"

int main(int argc, char** argv) {
  using namespace ferrolt::gui;
  if (argc != 6) {
    std::fprintf(stderr, "usage: gui_driver PHASE FERROLT_EXE FAKE_CLIENT_EXE DATA_ROOT SHOTS\n");
    return 101;
  }
  std::string phase = argv[1];
  DriverSetup setup = {argv[2], argv[3], argv[4]};
  SetShotsFolder(argv[5]);
  if (phase == "resources") {
    RunResourceChecks(setup.ferrolt_exe);
  } else if (phase == "no-target") {
    RunStartWithoutTargetCases(setup);
  } else if (phase == "main") {
    RunMainCases(setup);
  } else if (phase == "large") {
    RunLargeFontCases(setup);
  } else if (phase == "in-process") {
    RunInProcessCases();
  } else {
    std::fprintf(stderr, "unknown phase %s\n", phase.c_str());
    return 101;
  }
  std::printf("phase %s: %d checks, %d failed\n", phase.c_str(), CheckCount(), FailureCount());
  return FailureCount() > 100 ? 100 : FailureCount();
}
