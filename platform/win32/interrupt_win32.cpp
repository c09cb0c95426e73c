#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace ferrolt {
namespace {

static_assert(kConsoleCtrlC == CTRL_C_EVENT && kConsoleCtrlBreak == CTRL_BREAK_EVENT &&
              kConsoleClosed == CTRL_CLOSE_EVENT && kConsoleLogoff == CTRL_LOGOFF_EVENT &&
              kConsoleShutdown == CTRL_SHUTDOWN_EVENT);

// Written by the handler, which Windows runs on a thread of its own.
std::atomic<int> stop_number{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const ConsoleEventHandling handling = HandlingOfConsoleEvent(event);
  if (!handling.handled) return FALSE;
  int none = 0;
  stop_number.compare_exchange_strong(none, handling.request_number);
  // The program's own exit, once the run has stopped, ends the process and this wait with it,
  // with the program's exit status; only a program that does not stop in time is ended by
  // Windows when the wait is over.
  if (handling.waits) Sleep(kConsoleEndWaitMs);
  return TRUE;
}

}  // namespace

void InstallStopHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

int StopRequestNumber() { return stop_number.load(); }

}  // namespace ferrolt
