// Win32 backend of the platform services and the window's event delivery:
// see win32_platform.hpp.
#include "window/win32/win32_platform.hpp"

#include <windowsx.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <new>

#include "core/window_layout.hpp"
#include "pictures/window_definition.hpp"
#include "window/win32/gdi_picture.hpp"

namespace dorvik::win32 {

namespace {

// The title as the wide string the window functions take (it is ASCII).
constexpr auto kTitle = [] {
  std::array<wchar_t, sizeof layout::kTitle> wide{};
  for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<wchar_t>(layout::kTitle[i]);
  return wide;
}();
constexpr wchar_t kFormClass[] = L"Dorvik2Lifts";
constexpr wchar_t kPicture1Class[] = L"Picture1";
constexpr char kErrorCaption[] = "Project1";

// Picture1's own coordinate system: its inner area spans this many units.
constexpr double kUnitsAcross = 14.882803;
constexpr double kUnitsDown = 29.84375;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

[[noreturn]] void WindowSystemFailure(const char* what) {
  char text[160];
  std::snprintf(text, sizeof text, "Cannot %s (Windows error %lu)", what, GetLastError());
  throw RunTimeError(error_number::kInternalError, text);
}

// The button and shift states as the handlers know them: 1 left, 2 right,
// 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ButtonState(WPARAM wparam) {
  return static_cast<std::int16_t>(((wparam & MK_LBUTTON) ? 1 : 0) |
                                   ((wparam & MK_RBUTTON) ? 2 : 0) |
                                   ((wparam & MK_MBUTTON) ? 4 : 0));
}

std::int16_t ShiftState(WPARAM wparam) {
  return static_cast<std::int16_t>(((wparam & MK_SHIFT) ? 1 : 0) | ((wparam & MK_CONTROL) ? 2 : 0) |
                                   ((GetKeyState(VK_MENU) < 0) ? 4 : 0));
}

Win32Platform* PlatformOf(HWND window, UINT message, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

void Win32Platform::BuildWindow() {
  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = FormProc;
  form_class.hInstance = instance_;
  form_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
  form_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form_class.lpszClassName = kFormClass;
  // Picture1 gets the clicks, so it is its class that asks for double-clicks.
  WNDCLASSEXW picture_class{};
  picture_class.cbSize = sizeof picture_class;
  picture_class.style = CS_DBLCLKS;
  picture_class.lpfnWndProc = Picture1Proc;
  picture_class.hInstance = instance_;
  picture_class.hCursor = form_class.hCursor;
  picture_class.lpszClassName = kPicture1Class;
  if (!RegisterClassExW(&form_class) || !RegisterClassExW(&picture_class)) {
    WindowSystemFailure("register the window classes");
  }

  RECT frame{0, 0, layout::kClientWidth, layout::kClientHeight};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  form_window_ = CreateWindowExW(0, kFormClass, kTitle.data(), kFormStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                 nullptr, nullptr, instance_, this);
  if (form_window_ == nullptr) WindowSystemFailure("create the window");
  // The platform's standard sunken border, 2 pixels wide.
  picture1_ = CreateWindowExW(WS_EX_CLIENTEDGE, kPicture1Class, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, layout::kAreaWidth,
                              layout::kAreaHeight, form_window_, nullptr, instance_, this);
  if (picture1_ == nullptr) WindowSystemFailure("create the display area");
  RECT inner;
  GetClientRect(picture1_, &inner);
  inner_width_ = inner.right;
  inner_height_ = inner.bottom;

  HDC screen = GetDC(nullptr);
  if (screen == nullptr) WindowSystemFailure("reach the screen");
  memory_dc_ = CreateCompatibleDC(screen);
  for (int number = 1; number <= Dorvik2Lifts::kSlots; ++number) {
    holders_.Set(number, DecodeBitmapFile(HolderBitmapFile(number), screen));
  }
  ReleaseDC(nullptr, screen);
  if (memory_dc_ == nullptr) WindowSystemFailure("create a drawing surface");
}

void Win32Platform::ShowWindowCentred() {
  RECT frame;
  GetWindowRect(form_window_, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(form_window_, nullptr, left > 0 ? left : 0, top > 0 ? top : 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(form_window_, SW_SHOWNORMAL);
  SetFocus(picture1_);
  UpdateWindow(form_window_);
}

void Win32Platform::ShowPicture(const Picture& picture) {
  if (dynamic_cast<const GdiPicture*>(picture.get()) == nullptr) {
    throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
  }
  shown_ = picture;
  if (!InvalidateRect(picture1_, nullptr, FALSE)) {
    throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
  }
}

void Win32Platform::PumpEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // Nothing of ours posts WM_QUIT; keep the queue's promise all the same.
    if (message.message == WM_QUIT) EndProcess();
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

Picture Win32Platform::HolderPicture(int number) { return holders_.Get(number); }

void Win32Platform::ClearWindow() {
  HDC dc = GetDC(picture1_);
  if (dc == nullptr) {
    throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
  }
  RECT inner;
  GetClientRect(picture1_, &inner);
  FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
  ReleaseDC(picture1_, dc);
  GdiFlush();
}

void Win32Platform::EndProcess() {
  std::fflush(nullptr);
  ExitProcess(0);
}

void Win32Platform::ReportRunTimeError(const RunTimeError& error) {
  ended_ = true;  // the message box pumps messages: no handler may run from here on
  char text[512];
  std::snprintf(text, sizeof text, "Run-time error '%d':\n\n%s", error.number(), error.text());
  std::fprintf(stderr, "Dorvik: run-time error %d: %s\n", error.number(), error.text());
  std::fflush(stderr);
  MessageBoxA(form_window_, text, kErrorCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  ExitProcess(1);
}

template <typename Handler>
LRESULT Win32Platform::Guarded(Handler handler) {
  try {
    return handler();
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  } catch (const std::bad_alloc&) {
    ReportRunTimeError(RunTimeError(error_number::kOutOfMemory, "Out of memory"));
  } catch (const std::exception& error) {
    ReportRunTimeError(RunTimeError(error_number::kInternalError, error.what()));
  } catch (...) {
    ReportRunTimeError(RunTimeError(error_number::kInternalError, "Internal error"));
  }
}

LRESULT CALLBACK Win32Platform::FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Win32Platform* platform = PlatformOf(window, message, lparam);
  if (platform == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return platform->Guarded(
      [&] { return platform->OnFormMessage(window, message, wparam, lparam); });
}

LRESULT CALLBACK Win32Platform::Picture1Proc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  Win32Platform* platform = PlatformOf(window, message, lparam);
  if (platform == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return platform->Guarded(
      [&] { return platform->OnPicture1Message(window, message, wparam, lparam); });
}

LRESULT Win32Platform::OnFormMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATE:
      // The run starts from the main loop once this has returned, so the
      // window finishes becoming active first.
      if (LOWORD(wparam) != WA_INACTIVE) activated_ = true;
      break;
    case WM_SETFOCUS:
      // Picture1 is the only control that takes the focus.
      if (picture1_ != nullptr) SetFocus(picture1_);
      return 0;
    case WM_CLOSE:
    case WM_DESTROY:
      // No handler for a close request: the process ends at once, the way the
      // quit sequence ends it.
      ClearWindow();
      EndProcess();
    case WM_ENDSESSION:
      if (wparam) EndProcess();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Platform::OnPicture1Message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool deliver = form_ != nullptr && !ended_;
  switch (message) {
    case WM_PAINT:
      PaintPicture1(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_CHAR:
      if (deliver) form_->Picture1_KeyPress(static_cast<std::int16_t>(wparam));
      return 0;
    case WM_MOUSEMOVE:
      if (deliver) DeliverMouseMove(wparam, lparam);
      return 0;
    case WM_LBUTTONDOWN:
      left_pressed_ = true;
      [[fallthrough]];
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      // Held buttons keep the pointer ours, so positions beyond the edges arrive.
      SetCapture(window);
      SetFocus(window);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if ((wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) ReleaseCapture();
      const bool clicked = message == WM_LBUTTONUP && left_pressed_;
      if (message == WM_LBUTTONUP) left_pressed_ = false;
      if (clicked && deliver) form_->Picture1_Click();
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      // The second press of a double-click; its first press has already clicked.
      left_pressed_ = false;
      if (deliver) form_->Picture1_DblClick();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Win32Platform::DeliverMouseMove(WPARAM wparam, LPARAM lparam) {
  // Signed: while the pointer is captured it can be left of or above Picture1.
  const int x = GET_X_LPARAM(lparam);
  const int y = GET_Y_LPARAM(lparam);
  const float units_x = static_cast<float>(x * kUnitsAcross / inner_width_);
  const float units_y = static_cast<float>(y * kUnitsDown / inner_height_);
  form_->Picture1_MouseMove(ButtonState(wparam), ShiftState(wparam), units_x, units_y);
}

void Win32Platform::PaintPicture1(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  RECT inner;
  GetClientRect(window, &inner);
  if (const auto* picture = static_cast<const GdiPicture*>(shown_.get())) {
    HGDIOBJ previous = SelectObject(memory_dc_, picture->bitmap());
    BitBlt(dc, 0, 0, picture->width(), picture->height(), memory_dc_, 0, 0, SRCCOPY);
    SelectObject(memory_dc_, previous);
    ExcludeClipRect(dc, 0, 0, picture->width(), picture->height());
  }
  FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
  EndPaint(window, &paint);
}

}  // namespace dorvik::win32
