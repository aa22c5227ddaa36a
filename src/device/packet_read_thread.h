// TPacketReadThread: reads the user program back from the controller packet by packet through the
// request engine, decodes the records and fills the editor at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "comm/main_gate.h"
#include "comm/modbus.h"
#include "comm/worker_thread.h"
#include "core/program_upload.h"
#include "device/device_description.h"
#include "device/program_reading.h"

namespace ferrolad {

class TPacketReadThread final : public TWorkerThread {
 public:
  struct Hooks {
    std::function<bool()> ControllerInRun;  // window thread: the status display shows RUN
    std::function<void()> ViewChanged;      // window thread, after each change of the view
    std::function<void()> Ended;            // window thread, once the reading has ended
  };

  // The reading runs against `model` (a copy taken now) with the settings' time-outs.
  TPacketReadThread(TModBus& modbus, MainThread& main, const TCommonDatas& settings, const TDeviceDescription& model,
                    TFastReadingProcess& reading, TProgramReadingView& view, TProgramType type, uint8_t slaveId,
                    Hooks hooks);
  ~TPacketReadThread() override;  // Stop()

  // Ends the reading between steps and waits for the thread; safe on the window thread.
  void Stop();

  const TProgramType ProgramType;
  const int MaxRegistersPerRead;
  const int StartWait;       // for the per-frame worker to be free
  const int PerRequestWait;  // per request of a transfer

  // The request lists, built from the model's command table; nullopt when a command is missing.
  static std::optional<TRegistersArray> PartOneRequests(const TDeviceDescription& model, TProgramType type);
  static std::optional<TRegistersArray> PacketRequests(const TDeviceDescription& model, int nextLine, int packetLines,
                                                       int maxRegistersPerRead);

  static constexpr const char* kPartOneName = "FastReadProgFromController2 - part 1 ";
  static constexpr const char* kPartTwoName = "FastReadProgFromController2 - part 2 ";

 protected:
  void Execute() override;

 private:
  void Run();
  bool Stopping() const;
  // Sends a list as a user command and waits for its end; false on time-out (or when refused).
  bool Transfer(const char* name, const TRegistersArray& list, bool& refused);
  void Log(const std::string& text);
  void UpdateView(const std::function<void()>& change);
  void DisplayOff();
  void SetResult(uint8_t code);
  void Show();

  TModBus& modbus_;
  MainGate gate_;
  const TDeviceDescription model_;
  TFastReadingProcess& reading_;
  TProgramReadingView& view_;
  const uint8_t slaveId_;
  Hooks hooks_;
};

}  // namespace ferrolad
