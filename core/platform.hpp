// The services the program asks of the window system it runs on. Core code
// reaches the window system only through this interface; each backend under
// window/ (sdl/, win32/, web/, scripted/) implements it once, and depends on
// it.
#pragma once

#include <memory>

#include "core/run_time_error.hpp"

namespace dorvik {

// A picture decoded by the window system when the window was built. Backends
// derive their own kind (an SDL surface, a GDI bitmap, a test token) from it.
class DecodedPicture {
 public:
  virtual ~DecodedPicture() = default;
};

// A counted, shared reference to a decoded picture: handing one on copies the
// reference, never the pixels.
using Picture = std::shared_ptr<const DecodedPicture>;

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Makes `picture` the display area's picture, drawn at the top-left of its
  // inner area, unscaled. The display area keeps its own reference and shows
  // the picture no later than the next PumpEvents. Raises RunTimeError on failure.
  virtual void ShowPicture(const Picture& picture) = 0;

  // Delivers every event waiting now to its handler, one at a time and each to
  // its end, on the caller's stack; then returns.
  virtual void PumpEvents() = 0;

  // The picture that image control Image<number> carries (number 1..36); the
  // same picture on every call. Raises RunTimeError if it cannot be had.
  virtual Picture HolderPicture(int number) = 0;

  // The window operation of the quit sequence: clears the display area.
  // Raises RunTimeError on failure.
  virtual void ClearWindow() = 0;

  // Ends the process at once, without clean-up; never returns.
  [[noreturn]] virtual void EndProcess() = 0;

  // The standard report of an untrapped run-time error, then the end of the
  // process with a non-zero status; never returns.
  [[noreturn]] virtual void ReportRunTimeError(const RunTimeError& error) = 0;
};

}  // namespace dorvik
