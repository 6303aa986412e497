// Faults as data: "the Nth call of a kind fails", once or from then on.
//
// Each fake keeps one FaultPlan over its own enum of call kinds and asks it
// once per call. Calls are counted from the moment a fault is armed, so a
// test can first run a scenario to count the calls of a kind (CallCount) and
// then fail each of them in turn.
#pragma once

#include <map>
#include <mutex>

namespace pache {

template <typename Kind>
class FaultPlan {
 public:
  // The nth call of `kind` from now (1 = the next one) fails, only that one.
  void FailNth(Kind kind, int nth) { Arm(kind, nth, false); }
  // The nth call of `kind` from now and every later one fail.
  void FailFromNth(Kind kind, int nth) { Arm(kind, nth, true); }
  // Every call of `kind` from now fails.
  void FailAll(Kind kind) { Arm(kind, 1, true); }
  // Calls of `kind` succeed again.
  void Clear(Kind kind) {
    std::lock_guard lock(mutex_);
    faults_.erase(kind);
  }

  // Counts one call of `kind`; true when it is to fail.
  bool ShouldFail(Kind kind) {
    std::lock_guard lock(mutex_);
    ++counts_[kind];
    auto it = faults_.find(kind);
    if (it == faults_.end()) return false;
    Fault& fault = it->second;
    if (fault.remaining > 1) {
      --fault.remaining;
      return false;
    }
    if (!fault.persistent) faults_.erase(it);
    return true;
  }

  // Calls of `kind` so far, failed ones included.
  int CallCount(Kind kind) const {
    std::lock_guard lock(mutex_);
    auto it = counts_.find(kind);
    return it == counts_.end() ? 0 : it->second;
  }

 private:
  struct Fault {
    int remaining = 1;
    bool persistent = false;
  };

  void Arm(Kind kind, int nth, bool persistent) {
    std::lock_guard lock(mutex_);
    faults_[kind] = Fault{nth < 1 ? 1 : nth, persistent};
  }

  mutable std::mutex mutex_;
  std::map<Kind, Fault> faults_;
  std::map<Kind, int> counts_;
};

}  // namespace pache
