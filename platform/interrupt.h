#ifndef FERROLT_PLATFORM_INTERRUPT_H_
#define FERROLT_PLATFORM_INTERRUPT_H_

// Requests from outside to stop the program, as each system makes them. The handlers only note
// the first request; a run asks before every message and stops there, so no output ends in half
// a message. Each request has a number, the C runtime's signal number where it has one, and the
// program's exit status is made of it.
//
// POSIX: SIGINT, SIGTERM and SIGHUP, without SA_RESTART (a blocked read or write returns instead
// of waiting on); SIGXFSZ is ignored, so a write beyond the file size limit fails like any other.
// Windows: the five console events, through SetConsoleCtrlHandler. After a closed console, a
// log-off or a shutdown Windows ends the process as soon as the handler returns, so there the
// handler waits, up to kConsoleEndWaitMs, for the program to stop and exit by itself.

namespace ferrolt {

void InstallStopHandlers();

// 0 until a stop request has arrived; then the first one's number.
int StopRequestNumber();

// Windows' console events, by the numbers Windows gives them (CTRL_C_EVENT and so on).
enum ConsoleEvent : unsigned long {
  kConsoleCtrlC = 0,
  kConsoleCtrlBreak = 1,
  kConsoleClosed = 2,
  kConsoleLogoff = 5,
  kConsoleShutdown = 6,
};

// The numbers of the requests that have no C runtime signal: a closed console takes SIGHUP's,
// as a closed terminal sends it elsewhere; log-off and shutdown SIGTERM's, which other systems
// send when they shut down.
constexpr int kCtrlCNumber = 2;       // SIGINT
constexpr int kCtrlBreakNumber = 21;  // SIGBREAK, the Windows C runtime's own
constexpr int kConsoleClosedNumber = 1;
constexpr int kSessionEndNumber = 15;

// What the console handler does with an event.
struct ConsoleEventHandling {
  bool handled = false;    // false: left to the next handler (the system's ends the process)
  bool waits = false;      // Windows ends the process when the handler returns
  int request_number = 0;  // of the stop request noted
};

// The console handler's decision, apart from the system so that every build tests it.
ConsoleEventHandling HandlingOfConsoleEvent(unsigned long event);

// Windows allows a console program about five seconds after such an event; a run stops after the
// message it is writing, in milliseconds, so this leaves Windows a wide margin.
constexpr unsigned kConsoleEndWaitMs = 3000;

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_INTERRUPT_H_
