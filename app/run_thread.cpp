#include "app/run_thread.h"

#include <system_error>
#include <thread>
#include <utility>

namespace ferrolt {
namespace {

HWND window_thread_window = nullptr;  // the main window while a run thread is under way
DWORD window_thread_id = 0;
std::thread run_thread;

struct PostedCall {
  const std::function<void()>* call;
  HANDLE done;
};

}  // namespace

bool StartRunThread(HWND main_window, std::function<void()> work) {
  window_thread_window = main_window;
  window_thread_id = GetCurrentThreadId();
  try {
    run_thread = std::thread([main_window, work = std::move(work)] {
      work();
      PostMessageA(main_window, kRunEndedMessage, 0, 0);
    });
  } catch (const std::system_error&) {
    window_thread_window = nullptr;
    return false;
  }
  return true;
}

void FinishRunThread() {
  if (run_thread.joinable()) run_thread.join();
  window_thread_window = nullptr;
}

void CallOnWindowThread(const std::function<void()>& call) {
  if (window_thread_window == nullptr || GetCurrentThreadId() == window_thread_id) {
    call();
    return;
  }
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
  (*posted->call)();
  SetEvent(posted->done);
}

}  // namespace ferrolt
