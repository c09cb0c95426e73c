#ifndef FERROLT_APP_RUN_THREAD_H_
#define FERROLT_APP_RUN_THREAD_H_

// A run works on a thread of its own, so the window thread keeps answering its messages: Windows
// takes a window that leaves them waiting for five seconds as hung, and offers to end the
// program in the middle of a write. Windows belong to the thread that made them, and only that
// thread pumps them; so whatever the run shows (dialogs, notices, the progress window) is made
// and shown on the window thread through CallOnWindowThread.

#include <windows.h>

#include <functional>

namespace ferrolt {

// Posted to the main window when the run thread's work has ended.
constexpr UINT kRunEndedMessage = WM_APP + 1;
// Posted to the main window by CallOnWindowThread; its handler is RunPostedCall.
constexpr UINT kWindowThreadCallMessage = WM_APP + 2;

// Starts `work` on the run thread. False when no thread can be made.
bool StartRunThread(HWND main_window, std::function<void()> work);
// Waits for the run thread after its end was posted, and releases it.
void FinishRunThread();

// Calls `call` on the window thread and returns when it has returned: at once when already
// there or when no run thread is under way. The call is posted rather than sent, so the window
// thread runs it as an ordinary message, free to show dialogs.
void CallOnWindowThread(const std::function<void()>& call);
// Runs the call carried by a kWindowThreadCallMessage.
void RunPostedCall(LPARAM lparam);

// From here until the next run, the calls the run thread asks for are not made: they return at
// once, as a cancelled dialog or a notice nobody will read. For the end of the session, when
// nothing more can be shown.
void DropWindowThreadCalls();

// Waits up to `timeout_ms` for the run thread's work to end, answering meanwhile what the run
// thread sends to the windows (the progress bar's updates) and the calls it posts. True when the
// work has ended or there is none. False at once when the window thread is inside a call the run
// thread waits on (a notice or a dialog in a frame further out): then it cannot end before that
// call returns.
bool WaitForRunThreadWork(DWORD timeout_ms);

}  // namespace ferrolt

#endif  // FERROLT_APP_RUN_THREAD_H_
