// Scripted in-memory backend for tests. Implements every platform service:
// show picture (recorded as the slot of the picture shown), the event pump
// (delivers the events queued for that pump, by pump number), holder pictures
// (tokens that know their holder's number), the quit sequence's window
// operation (counted) and the end of the process (the ProcessEnded exception
// unwinds out of Form_Activate, so a test can inspect the state afterwards).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "core/dorvik2lifts.hpp"
#include "core/platform.hpp"
#include "window/holder_pictures.hpp"

namespace dorvik {

class ScriptedPlatform final : public PlatformServices {
 public:
  // The loading stage pumps this many times; pump number
  // kLoadingPumps + p is the one at the end of playback pass p.
  static constexpr int kLoadingPumps = 34;
  static constexpr int PumpAfterPass(int pass) { return kLoadingPumps + pass; }

  // Thrown by EndProcess: the process has ended.
  struct ProcessEnded {};
  // Thrown by the pump numbered last_pump + 1: the script is over.
  struct ScriptEnded {};
  // Thrown by ReportRunTimeError, carrying what was reported.
  struct ErrorReported {
    RunTimeError error;
  };

  using Action = std::function<void(Dorvik2Lifts&)>;

  // The pumps numbered 1..last_pump deliver their events; the next one throws
  // ScriptEnded.
  explicit ScriptedPlatform(int last_pump);

  // The window whose handlers the pump calls.
  void Attach(Dorvik2Lifts& form) { form_ = &form; }

  // Events for pump `pump`, delivered in the order they were queued.
  void Key(int pump, std::int16_t code);
  void Keys(int pump, const char* text);
  void Move(int pump, float x, float y, std::int16_t button = 0, std::int16_t shift = 0);
  void Click(int pump);
  void DblClick(int pump);
  // Any code run as a handler at that pump: set or inspect the state directly.
  void Do(int pump, Action action);

  // Runs form.Form_Activate() until the script ends or the process ends;
  // returns true if the process ended.
  bool Run();

  // Slots shown, in order: slot 0 from the loading stage, then one per pass.
  const std::vector<int>& shown_slots() const { return shown_slots_; }
  int pumps_run() const { return pumps_run_; }
  int clears() const { return clears_; }
  // The number of the holder whose picture this is, or -1.
  static int HolderNumber(const Picture& picture);
  // Holder pictures handed out so far, by holder number, in order.
  const std::vector<int>& holders_asked() const { return holders_asked_; }

  // Makes ShowPicture / ClearWindow fail from the given call on (1-based).
  void FailShowPictureAt(int call) { fail_show_at_ = call; }
  void FailClearWindow() { fail_clear_ = true; }

  void ShowPicture(const Picture& picture) override;
  void PumpEvents() override;
  Picture HolderPicture(int number) override;
  void ClearWindow() override;
  [[noreturn]] void EndProcess() override;
  [[noreturn]] void ReportRunTimeError(const RunTimeError& error) override;

 private:
  int last_pump_;
  Dorvik2Lifts* form_ = nullptr;
  std::map<int, std::vector<Action>> events_;
  std::vector<int> shown_slots_;
  std::vector<int> holders_asked_;
  HolderPictures holders_;
  int pumps_run_ = 0;
  int clears_ = 0;
  int show_calls_ = 0;
  int fail_show_at_ = 0;
  bool fail_clear_ = false;
};

}  // namespace dorvik
