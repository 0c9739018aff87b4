#include "window/web/web_input.hpp"

namespace dorvik::web {

void Deliver(Dorvik2Lifts& form, const PageEvent& event) {
  switch (event.kind) {
    case PageEvent::kKey:
      // The script hands on only codes of one UTF-16 unit: 16-bit codes.
      if (event.code >= 0 && event.code <= 0x7FFF) {
        form.Picture1_KeyPress(static_cast<std::int16_t>(event.code));
      }
      break;
    case PageEvent::kMove: {
      const AreaPoint at = ToAreaUnits(event.x, event.y);
      form.Picture1_MouseMove(static_cast<std::int16_t>(event.button),
                              static_cast<std::int16_t>(event.shift), at.x, at.y);
      break;
    }
    case PageEvent::kClick:
      form.Picture1_Click();
      break;
    case PageEvent::kDoubleClick:
      form.Picture1_DblClick();
      break;
    default:
      break;
  }
}

}  // namespace dorvik::web
