// Win32 backend, start-up: builds the window Dorvik2Lifts with its pictures,
// shows it, and on its first activation runs Form_Activate, which never
// returns. A run-time error during start-up is reported like any other.
#include <windows.h>

#include <exception>

#include "core/dorvik2lifts.hpp"
#include "window/win32/win32_platform.hpp"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  dorvik::win32::Win32Platform platform(instance);
  try {
    platform.BuildWindow();
    dorvik::Dorvik2Lifts form(platform);
    platform.Attach(form);
    platform.ShowWindowCentred();

    // The window's own loop, until it becomes the active window.
    MSG message;
    while (!platform.activated()) {
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got == 0) platform.EndProcess();
      if (got < 0)
        throw dorvik::RunTimeError(dorvik::error_number::kInternalError,
                                   "The window's message queue failed");
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    form.Form_Activate();
  } catch (const dorvik::RunTimeError& error) {
    platform.ReportRunTimeError(error);
  } catch (const std::exception& error) {
    platform.ReportRunTimeError(
        dorvik::RunTimeError(dorvik::error_number::kInternalError, error.what()));
  }
  // Form_Activate never returns; if it ever did, the program would just end.
  platform.EndProcess();
}
