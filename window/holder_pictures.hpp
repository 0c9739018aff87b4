// The pictures that the image controls Image1 to Image36 carry, as every
// backend keeps them once decoded, handed out by number as HolderPicture
// asks for them.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "core/dorvik2lifts.hpp"
#include "core/platform.hpp"
#include "core/run_time_error.hpp"

namespace dorvik {

class HolderPictures {
 public:
  static constexpr int kCount = Dorvik2Lifts::kSlots;

  // Image<number>'s picture. A number with no image control is an invalid
  // call, as the platform reports it for any control that does not exist.
  const Picture& Get(int number) const { return pictures_[Index(number)]; }
  void Set(int number, Picture picture) { pictures_[Index(number)] = std::move(picture); }

 private:
  static std::size_t Index(int number) {
    if (number < 1 || number > kCount) {
      throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
    }
    return static_cast<std::size_t>(number - 1);
  }

  std::array<Picture, kCount> pictures_;
};

}  // namespace dorvik
