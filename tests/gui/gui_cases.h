#ifndef FERROLT_TESTS_GUI_GUI_CASES_H_
#define FERROLT_TESTS_GUI_GUI_CASES_H_

#include <string>

namespace ferrolt::gui {

// Where the driver finds the programs and puts its pictures.
struct DriverSetup {
  std::string ferrolt_exe;
  std::string fake_client_exe;
  std::string data_root;  // a fresh folder for stores and outputs
};

void RunResourceChecks(const std::string& ferrolt_exe);
void RunStartWithoutTargetCases(const DriverSetup& setup);
void RunMainCases(const DriverSetup& setup);
void RunLargeFontCases(const DriverSetup& setup);
void RunInProcessCases();

struct Program;
// Pieces of the main phase, on one running program.
void RunStartAndWindowCases(const DriverSetup& setup, Program* program);
void RunConversionCases(const DriverSetup& setup, Program* program);
void RunEndCases(const DriverSetup& setup, Program* program);
// Closing the window in the middle of a long run, on a program of its own.
void RunCloseDuringRunCases(const DriverSetup& setup);

}  // namespace ferrolt::gui

#endif  // FERROLT_TESTS_GUI_GUI_CASES_H_
