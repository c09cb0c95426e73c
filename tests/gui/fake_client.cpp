// Stands in for another mail client's main window: registers the class given on the command line
// and opens a top-level window with the given title, so Ferrolt finds that client "running".
//   fake_client.exe CLASS [TITLE]

#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK FakeWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string class_name = argv[1];
  std::string title = argc > 2 ? argv[2] : "";
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = FakeWindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = class_name.c_str();
  if (RegisterClassA(&window_class) == 0) return 3;
  HWND window = CreateWindowA(class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200,
                              100, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 4;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
