// Serves a simulated controller on a pseudo-terminal, so that any serial client (our own port
// layer, a Modbus tool) can open it by path.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/sim_link.h"

namespace ferrolad::sim {

class SimPtyServer {
 public:
  SimPtyServer(SimController& controller, SimLinkOptions options = {});
  ~SimPtyServer();
  SimPtyServer(const SimPtyServer&) = delete;
  SimPtyServer& operator=(const SimPtyServer&) = delete;

  // Opens the pty in raw mode and, when `linkPath` is not empty, points a symbolic link there at
  // it (an existing symbolic link is replaced; any other file is left alone and refused).
  bool open(const std::string& linkPath, std::string& error);
  void start();  // serves on a background thread
  void stop();   // stops serving, closes the pty and removes the link

  const std::string& slavePath() const { return slavePath_; }
  const std::string& linkPath() const { return linkPath_; }
  SimLink& link() { return link_; }

 private:
  void serve();
  void writeMaster(const uint8_t* data, size_t size);

  SimLink link_;
  int master_ = -1;
  int slaveKeep_ = -1;   // keeps the line up while no client has the pty open
  int wake_[2] = {-1, -1};
  std::string slavePath_, linkPath_;
  std::mutex writeMu_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace ferrolad::sim
