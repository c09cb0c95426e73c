#ifndef FERROLT_APP_SESSION_END_H_
#define FERROLT_APP_SESSION_END_H_

// What the window does when Windows ends the session (log-off, shutdown) during a run.

#include <windows.h>

namespace ferrolt {

// Windows waits about five seconds for each program once the session ends; a run stops after
// the message it is writing, in milliseconds, so this leaves Windows a wide margin.
constexpr DWORD kSessionEndWaitMs = 3000;

// Tells Windows why the program wants a moment: it shows beside the program's name while the
// session waits for it. Only where the system has the call (Vista and later).
void GiveSessionEndReason(HWND window, HINSTANCE instance);
// Takes the reason back once the run has ended.
void WithdrawSessionEndReason(HWND window);

// Cancels every dialog and notice of this thread but the progress window: nobody is left to
// answer them, and the run waiting behind one then goes on to stop.
void CancelThreadDialogs();

}  // namespace ferrolt

#endif  // FERROLT_APP_SESSION_END_H_
