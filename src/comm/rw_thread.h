// The per-frame worker TRWThread (writes one queued frame, waits for its answer, sends it again,
// declares the connection lost after three unanswered sends) and the hand-off thread TReadPortThread
// (has the window thread examine each received chunk).
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "comm/worker_thread.h"

namespace ferrolad {

class TModBus;

class TRWThread final : public TWorkerThread {
 public:
  TRWThread(TModBus& modbus, std::string name, bool userFlag, int mode);

  const std::string& Name() const { return name_; }

 protected:
  void Execute() override;

 private:
  void Line(const std::string& text);
  TModBus& modbus_;
  std::string name_;
  bool userFlag_;
  int mode_;
  int responseWait_;
  int comTimeout_;
  int repeatCount_;
  bool noLog_;
};

class TReadPortThread final : public TWorkerThread {
 public:
  explicit TReadPortThread(TModBus& modbus) : modbus_(modbus) {}
  // Window thread: the port's receiver.
  void DataReceived(const uint8_t* data, size_t size);
  void Wake();

 protected:
  void Execute() override;

 private:
  TModBus& modbus_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool pending_ = false;
  std::string handed_;
};

}  // namespace ferrolad
