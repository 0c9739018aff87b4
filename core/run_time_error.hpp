// The one kind of error the program knows: a run-time error raised by the
// platform (a failure status, an index out of range, a floating-point fault).
// Nothing in the program traps it; the backend that runs the window reports it
// and ends the process with a non-zero status.
#pragma once

#include <stdexcept>
#include <string>

namespace dorvik {

class RunTimeError : public std::runtime_error {
 public:
  RunTimeError(int number, const std::string& text) : std::runtime_error(text), number_(number) {}

  int number() const { return number_; }
  const char* text() const { return what(); }

 private:
  int number_;
};

// The platform's error numbers for the faults this program can meet.
namespace error_number {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kInternalError = 51;
inline constexpr int kInvalidPicture = 481;
}  // namespace error_number

}  // namespace dorvik
