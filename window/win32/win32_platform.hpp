// Win32 backend of the platform services: the window Dorvik2Lifts and its
// display area Picture1 on the plain Win32 API (no SDL). Implements every
// service: show picture (Picture1 takes its own reference to a GDI bitmap and
// is invalidated), the event pump (PeekMessage / TranslateMessage /
// DispatchMessage until nothing waits), holder pictures (decoded once by the
// GDI while the window is built), the quit sequence's window operation (clears
// Picture1), the end of the process (ExitProcess(0)) and the run-time error
// report (a message box with the number and text, then exit status 1). It also
// delivers the window's events to the handlers of Dorvik2Lifts.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "core/dorvik2lifts.hpp"
#include "core/platform.hpp"
#include "window/holder_pictures.hpp"

namespace dorvik::win32 {

class Win32Platform final : public PlatformServices {
 public:
  explicit Win32Platform(HINSTANCE instance) : instance_(instance) {}
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // Creates the (hidden) window and Picture1 and decodes the 36 holder
  // pictures. Raises RunTimeError if any of it fails.
  void BuildWindow();
  // The window object whose handlers the events go to.
  void Attach(Dorvik2Lifts& form) { form_ = &form; }
  // Shows the window centred on the screen and gives Picture1 the focus.
  void ShowWindowCentred();
  // True once the window has become the active window.
  bool activated() const { return activated_; }

  void ShowPicture(const Picture& picture) override;
  void PumpEvents() override;
  Picture HolderPicture(int number) override;
  void ClearWindow() override;
  [[noreturn]] void EndProcess() override;
  [[noreturn]] void ReportRunTimeError(const RunTimeError& error) override;

 private:
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK Picture1Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnFormMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnPicture1Message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void PaintPicture1(HWND window);
  void DeliverMouseMove(WPARAM wparam, LPARAM lparam);
  // Runs a message handler; a run-time error escaping it is reported here, so
  // no exception ever unwinds through the system's frames.
  template <typename Handler>
  LRESULT Guarded(Handler handler);

  HINSTANCE instance_;
  HWND form_window_ = nullptr;
  HWND picture1_ = nullptr;
  HDC memory_dc_ = nullptr;  // selects the shown bitmap while painting
  Dorvik2Lifts* form_ = nullptr;
  HolderPictures holders_;
  Picture shown_;
  int inner_width_ = 0;  // Picture1's inner area in pixels, for the pointer units
  int inner_height_ = 0;
  bool activated_ = false;
  bool left_pressed_ = false;  // left button went down on Picture1 and is not yet up
  bool ended_ = false;         // an error is being reported: no handler runs any more
};

}  // namespace dorvik::win32
