#include "app/run_thread.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace ferrolt {
namespace {

HWND window_thread_window = nullptr;  // the main window while a run thread is under way
DWORD window_thread_id = 0;
std::thread run_thread;
HANDLE work_ended = nullptr;  // set by the run thread when its work has returned
std::atomic<bool> calls_dropped{false};
int calls_in_progress = 0;  // posted calls the window thread is inside, nested in its frames

struct PostedCall {
  const std::function<void()>* call;
  HANDLE done;
};

// Answers the messages the run thread sends (they are handled inside PeekMessage) and takes the
// calls it has posted, leaving every other message in the queue.
void AnswerRunThread() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  while (PeekMessageA(&message, nullptr, kWindowThreadCallMessage, kWindowThreadCallMessage,
                      PM_REMOVE)) {
    RunPostedCall(message.lParam);
  }
}

}  // namespace

bool StartRunThread(HWND main_window, std::function<void()> work) {
  work_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (work_ended == nullptr) return false;
  window_thread_window = main_window;
  window_thread_id = GetCurrentThreadId();
  calls_dropped = false;
  try {
    run_thread = std::thread([main_window, ended = work_ended, work = std::move(work)] {
      work();
      SetEvent(ended);
      PostMessageA(main_window, kRunEndedMessage, 0, 0);
    });
  } catch (const std::system_error&) {
    window_thread_window = nullptr;
    CloseHandle(work_ended);
    work_ended = nullptr;
    return false;
  }
  return true;
}

void FinishRunThread() {
  if (run_thread.joinable()) run_thread.join();
  if (work_ended != nullptr) CloseHandle(work_ended);
  work_ended = nullptr;
  window_thread_window = nullptr;
}

void CallOnWindowThread(const std::function<void()>& call) {
  if (window_thread_window == nullptr || GetCurrentThreadId() == window_thread_id) {
    call();
    return;
  }
  if (calls_dropped) return;
  PostedCall posted = {&call, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (posted.done == nullptr || !PostMessageA(window_thread_window, kWindowThreadCallMessage, 0,
                                              reinterpret_cast<LPARAM>(&posted))) {
    // Without an event or a place in the queue the call cannot be handed over; make it here.
    if (posted.done != nullptr) CloseHandle(posted.done);
    call();
    return;
  }
  WaitForSingleObject(posted.done, INFINITE);
  CloseHandle(posted.done);
}

void RunPostedCall(LPARAM lparam) {
  PostedCall* posted = reinterpret_cast<PostedCall*>(lparam);
  // A call posted just before the calls were dropped is let go the same way.
  if (!calls_dropped) {
    ++calls_in_progress;
    (*posted->call)();
    --calls_in_progress;
  }
  SetEvent(posted->done);
}

void DropWindowThreadCalls() { calls_dropped = true; }

bool WaitForRunThreadWork(DWORD timeout_ms) {
  if (work_ended == nullptr) return true;
  if (calls_in_progress > 0) return WaitForSingleObject(work_ended, 0) == WAIT_OBJECT_0;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const DWORD slice = elapsed >= timeout_ms ? 0 : std::min<DWORD>(timeout_ms - elapsed, 20);
    // Sent messages wake the wait at once; posted calls are looked for every slice.
    if (MsgWaitForMultipleObjects(1, &work_ended, FALSE, slice, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
      return true;
    }
    if (slice == 0) return false;
    AnswerRunThread();
  }
}

}  // namespace ferrolt
