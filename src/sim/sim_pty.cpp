#include "sim/sim_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ferrolad::sim {

SimPtyServer::SimPtyServer(SimController& controller, SimLinkOptions options) : link_(controller, options) {}

SimPtyServer::~SimPtyServer() { stop(); }

bool SimPtyServer::open(const std::string& linkPath, std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    stop();
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    stop();
    return false;
  }
  slavePath_ = name;
  slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slaveKeep_ < 0) {
    error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    stop();
    return false;
  }
  // Raw bytes, no echo; the line settings themselves stay the pty's defaults.
  termios tio{};
  if (tcgetattr(slaveKeep_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slaveKeep_, TCSANOW, &tio);
  }
  if (pipe(wake_) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    stop();
    return false;
  }
  if (!linkPath.empty()) {
    struct stat st{};
    if (lstat(linkPath.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = linkPath + " exists and is not a symbolic link";
        stop();
        return false;
      }
      ::unlink(linkPath.c_str());
    }
    if (symlink(name, linkPath.c_str()) != 0) {
      error = "cannot link " + linkPath + ": " + std::strerror(errno);
      stop();
      return false;
    }
    linkPath_ = linkPath;
  }
  link_.setReceiver([this](const uint8_t* d, size_t n) { writeMaster(d, n); });
  return true;
}

void SimPtyServer::start() {
  if (master_ < 0 || running_) return;
  running_ = true;
  thread_ = std::thread([this] { serve(); });
}

void SimPtyServer::stop() {
  if (running_) {
    running_ = false;
    char c = 0;
    [[maybe_unused]] auto r = ::write(wake_[1], &c, 1);
    thread_.join();
  }
  link_.setReceiver(nullptr);
  if (!linkPath_.empty()) {
    // remove only our own link, not something put there since
    char target[256];
    ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) ::unlink(linkPath_.c_str());
    linkPath_.clear();
  }
  for (int* fd : {&master_, &slaveKeep_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void SimPtyServer::writeMaster(const uint8_t* data, size_t size) {
  std::lock_guard lock(writeMu_);
  while (size > 0 && master_ >= 0) {
    ssize_t n = ::write(master_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void SimPtyServer::serve() {
  uint8_t buf[512];
  while (running_) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = poll(fds, 2, 500);
    if (r < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) link_.write(buf, static_cast<size_t>(n));
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      usleep(10000);  // no client at the moment
    }
  }
}

}  // namespace ferrolad::sim
