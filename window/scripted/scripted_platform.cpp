#include "window/scripted/scripted_platform.hpp"

namespace dorvik {

namespace {

// A holder's picture: a token that knows which holder carries it.
class HolderToken final : public DecodedPicture {
 public:
  explicit HolderToken(int number) : number(number) {}
  const int number;
};

}  // namespace

ScriptedPlatform::ScriptedPlatform(int last_pump) : last_pump_(last_pump) {
  // Sized up front so that recording a pass does not allocate.
  shown_slots_.reserve(static_cast<std::size_t>(last_pump) + 2);
  for (int number = 1; number <= Dorvik2Lifts::kSlots; ++number) {
    holders_.Set(number, std::make_shared<const HolderToken>(number));
  }
}

void ScriptedPlatform::Key(int pump, std::int16_t code) {
  Do(pump, [code](Dorvik2Lifts& form) { form.Picture1_KeyPress(code); });
}

void ScriptedPlatform::Keys(int pump, const char* text) {
  for (; *text != '\0'; ++text) Key(pump, static_cast<std::int16_t>(*text));
}

void ScriptedPlatform::Move(int pump, float x, float y, std::int16_t button, std::int16_t shift) {
  Do(pump, [=](Dorvik2Lifts& form) { form.Picture1_MouseMove(button, shift, x, y); });
}

void ScriptedPlatform::Click(int pump) {
  Do(pump, [](Dorvik2Lifts& form) { form.Picture1_Click(); });
}

void ScriptedPlatform::DblClick(int pump) {
  Do(pump, [](Dorvik2Lifts& form) { form.Picture1_DblClick(); });
}

void ScriptedPlatform::Do(int pump, Action action) { events_[pump].push_back(std::move(action)); }

bool ScriptedPlatform::Run() {
  try {
    form_->Form_Activate();
  } catch (const ScriptEnded&) {
    return false;
  } catch (const ProcessEnded&) {
    return true;
  }
  return false;
}

int ScriptedPlatform::HolderNumber(const Picture& picture) {
  const auto* token = dynamic_cast<const HolderToken*>(picture.get());
  return token == nullptr ? -1 : token->number;
}

void ScriptedPlatform::ShowPicture(const Picture& picture) {
  ++show_calls_;
  const int holder = HolderNumber(picture);
  if (holder < 0 || (fail_show_at_ != 0 && show_calls_ >= fail_show_at_)) {
    throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
  }
  shown_slots_.push_back(holder - 1);
}

void ScriptedPlatform::PumpEvents() {
  const int pump = ++pumps_run_;
  if (pump > last_pump_) throw ScriptEnded{};
  const auto due = events_.find(pump);
  if (due == events_.end()) return;
  for (const Action& action : due->second) action(*form_);
}

Picture ScriptedPlatform::HolderPicture(int number) {
  const Picture& picture = holders_.Get(number);
  holders_asked_.push_back(number);
  return picture;
}

void ScriptedPlatform::ClearWindow() {
  if (fail_clear_)
    throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
  ++clears_;
}

void ScriptedPlatform::EndProcess() { throw ProcessEnded{}; }

void ScriptedPlatform::ReportRunTimeError(const RunTimeError& error) { throw ErrorReported{error}; }

}  // namespace dorvik
