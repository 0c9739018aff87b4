// dorvik in the browser: the viewer program as a WebAssembly module. Decodes
// the pictures in the page's browser, hands the page's platform services and
// a counted wait that shares the page's thread to the main window object and
// runs it; the loop never returns.
#include "core/dorvik2lifts.hpp"
#include "window/web/web_platform.hpp"

int main() {
  // Static: the objects outlive main's frame whatever Asyncify does with it.
  static dorvik::web::WebPlatform platform;
  static dorvik::SpinningWait spinning;
  static dorvik::SlicedWait wait(spinning, platform, dorvik::web::WebPlatform::kChunk);
  static dorvik::Dorvik2Lifts form(platform, wait);
  platform.Run(form);
}
