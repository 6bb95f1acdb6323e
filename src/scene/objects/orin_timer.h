// TOrinTimer (kind 15): raises its label (property 33) as event 33 every interval milliseconds
// (property 26; 0 every frame, negative never), unless stopped (27). A one-shot timer
// (property 71) deletes itself once its first event has been handled. A late frame does not
// shift the schedule: the last tick advances by one interval per firing, so after a long frame
// the timer is due again on the next frames until it has caught up with the clock — but it never
// queues a second event while one is pending. Changing the label, the interval or the stopped
// flag restarts the schedule at the current clock and drops the timer's waiting events.
//
// Save record, after the object header: label (string), interval (int32), stopped (byte), and
// from version 104 one-shot and fired (bytes). The last tick is not saved: loading sets it to
// the clock.
#pragma once

#include <string>

#include "scene/model/orin_object.h"

namespace orin {

class TOrinTimer : public TOrinComponent {
 public:
  explicit TOrinTimer(TOrinBaseList* owner);

  uint8_t Kind() const override { return kKindTimer; }

  const std::string& Label() const { return label_; }
  int32_t Interval() const { return interval_; }
  bool OneShot() const { return oneShot_; }
  bool Fired() const { return fired_; }
  int32_t LastTick() const { return lastTick_; }
  void SetLabel(const std::string& label);
  void SetInterval(int32_t interval);
  void SetStopped(bool stopped) override;
  void SetOneShot(bool v) { oneShot_ = v; }

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  // A new schedule from now; waiting events of the old one are dropped.
  void Restart();

  std::string label_;
  int32_t interval_ = 0;
  bool oneShot_ = false;
  bool fired_ = false;
  int32_t lastTick_ = 0;
};

}  // namespace orin
