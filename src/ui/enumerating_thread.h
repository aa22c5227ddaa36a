// TEnumeratingThread: a manual renumbering of the instruction list. The numbering itself runs on the
// window thread; the thread only sequences the editor's disabled state around it.
#pragma once

#include <functional>
#include <thread>

#include "comm/main_gate.h"

namespace ferrolad {

class TEnumeratingThread {
 public:
  // begin, number and end run one after the other on the window thread; finished is posted there
  // afterwards (it may destroy this object).
  TEnumeratingThread(MainGate& gate, std::function<void()> begin, std::function<void()> number,
                     std::function<void()> end, std::function<void()> finished);
  ~TEnumeratingThread();  // joins; close the gate first when the window is going away
  TEnumeratingThread(const TEnumeratingThread&) = delete;
  TEnumeratingThread& operator=(const TEnumeratingThread&) = delete;

 private:
  std::thread thread_;
};

}  // namespace ferrolad
