#include "comm/com_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ferrolad {

int BaudRateOfIndex(int index) {
  static const int kRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
  if (index < 0 || index >= static_cast<int>(std::size(kRates))) return 0;
  return kRates[index];
}

// ---------------------------------------------------------------------------------------------
// Receive thread

TReadThread::TReadThread(std::unique_ptr<TReadSource> source, ManualResetEvent& readReady, MainThread& main,
                         Params params, Deliver deliver)
    : source_(std::move(source)), readReady_(readReady), gate_(main), params_(params), deliver_(std::move(deliver)) {
  if (params_.ReadChunk < 1) params_.ReadChunk = 1;
  thread_ = std::thread([this] { Execute(); });
}

TReadThread::~TReadThread() {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

void TReadThread::Terminate() {
  terminated_ = true;
  source_->Wake();
  gate_.Close();  // a chunk handed over during close is dropped
  sleepCv_.notify_all();
}

void TReadThread::Execute() {
  std::vector<uint8_t> buffer(static_cast<size_t>(params_.ReadChunk));
  auto pause = [&](int ms) {
    std::unique_lock lock(sleepMu_);
    sleepCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return terminated_.load(); });
  };
  while (!terminated_) {
    const TReadSource::Event event = source_->WaitEvent();
    if (terminated_) break;
    if (event == TReadSource::Event::HangUp) {
      pause(10);  // nothing will come until the other side is back; do not spin
      continue;
    }
    if (event != TReadSource::Event::Data) continue;
    const int waiting = source_->Available();
    if (waiting <= 0) continue;
    if (params_.WaitFullChunk && waiting < params_.ReadChunk) continue;
    // The previous chunk is still being examined: leave the bytes in the queue for now.
    if (!readReady_.wait(params_.ReadyWait)) continue;
    if (terminated_) break;
    readReady_.reset();
    const int n = source_->Read(buffer.data(), std::min(waiting, params_.ReadChunk));
    if (n > 0) {
      gate_.RunSync([&] { deliver_(buffer.data(), static_cast<size_t>(n), 0); });
    } else {
      readReady_.set();  // nothing was handed over, so nobody else will give the permission back
    }
    if (params_.SlowMode) pause(params_.PollPause);
  }
}

// ---------------------------------------------------------------------------------------------
// Port base

bool TPort::StartReadThread(std::unique_ptr<TReadSource> source) {
  if (main_ == nullptr) return false;
  TReadThread::Params p;
  p.ReadChunk = ReadChunk;
  p.WaitFullChunk = WaitFullChunk;
  if (settings_ != nullptr) {
    p.PollPause = settings_->ComReadTimeout();
    p.ReadyWait = settings_->ComHandleTimeout();
    p.SlowMode = settings_->SlowMode();
  }
  auto deliver = [this](const uint8_t* data, size_t size, uint32_t errors) {
    if (onReceive_) onReceive_(data, size, errors);
  };
  readThread_ = std::make_unique<TReadThread>(std::move(source), ReadReady, *main_, p, std::move(deliver));
  return true;
}

void TPort::StopReadThread() { readThread_.reset(); }

// ---------------------------------------------------------------------------------------------
// termios port

namespace {

class FdSource final : public TReadSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  }
  ~FdSource() override {
    for (int f : wake_) {
      if (f >= 0) ::close(f);
    }
  }
  Event WaitEvent() override {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = ::poll(fds, wake_[0] >= 0 ? 2 : 1, wake_[0] >= 0 ? -1 : 100);
    if (r <= 0) return Event::Nothing;
    if (fds[1].revents != 0) return Event::Nothing;
    if (fds[0].revents & POLLIN) return Event::Data;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Event::HangUp;
    return Event::Nothing;
  }
  void Wake() override {
    const char c = 0;
    if (wake_[1] >= 0) [[maybe_unused]] auto r = ::write(wake_[1], &c, 1);
  }
  int Available() override {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
    return n;
  }
  int Read(uint8_t* buffer, int size) override {
    const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(size));
    return n < 0 ? 0 : static_cast<int>(n);
  }

 private:
  int fd_;
  int wake_[2] = {-1, -1};
};

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;  // 14400 and 56000 have no POSIX constant
  }
}

int OpenDevice(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

bool TComPort::Exists(const std::string& path) {
  const int fd = OpenDevice(path);
  if (fd < 0) return false;
  termios tio{};
  const bool tty = ::tcgetattr(fd, &tio) == 0;
  ::close(fd);
  return tty;
}

bool TComPort::Open() {
  if (Connected()) return true;
  lastError_.clear();
  const int fd = OpenDevice(path_);
  if (fd < 0) {
    lastError_ = path_ + ": " + std::strerror(errno);
    return false;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    lastError_ = path_ + ": not a serial port";
    ::close(fd);
    return false;
  }
  // Nobody else may open it while we have it (test opens of the port scanner included).
  if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
    lastError_ = path_ + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  if (!ApplySettings()) {
    fd_ = -1;
    ::close(fd);
    return false;
  }
  ::tcflush(fd, TCIOFLUSH);
  ReadReady.reset();
  if (!HasReadThread()) StartReadThread(std::make_unique<FdSource>(fd));
  return true;
}

void TComPort::Close() {
  if (!Connected()) return;
  StopReadThread();  // before the descriptor goes: the thread polls it
  std::lock_guard lock(writeMu_);
  const int fd = fd_.exchange(-1);
  if (fd >= 0) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
  }
}

bool TComPort::Connected() const { return fd_.load() >= 0; }

bool TComPort::ApplySettings() {
  const int fd = fd_.load();
  if (fd < 0) return false;
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    lastError_ = path_ + ": " + std::strerror(errno);
    return false;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[std::clamp(dataBitsIndex_, 0, 3)] | CLOCAL | CREAD;
  switch (parity_) {
    case 1: tio.c_cflag |= PARENB | PARODD; break;
    case 2: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (stopBits_ != 0) tio.c_cflag |= CSTOPB;  // 1.5 stop bits does not exist here: 2
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(BaudRateOfIndex(baudIndex_));
  if (speed != B0) {
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
  }
  if (::tcsetattr(fd, TCSANOW, &tio) != 0 && errno != EINVAL) {
    lastError_ = path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void TComPort::SetBaudIndex(int index) {
  if (index == baudIndex_) return;
  baudIndex_ = index;
  if (Connected()) ApplySettings();
}
void TComPort::SetDataBitsIndex(int index) {
  if (index == dataBitsIndex_) return;
  dataBitsIndex_ = index;
  if (Connected()) ApplySettings();
}
void TComPort::SetParity(int parity) {
  if (parity == parity_) return;
  parity_ = parity;
  if (Connected()) ApplySettings();
}
void TComPort::SetStopBits(int stopBits) {
  if (stopBits == stopBits_) return;
  stopBits_ = stopBits;
  if (Connected()) ApplySettings();
}

bool TComPort::Write(const uint8_t* data, size_t size) {
  std::lock_guard lock(writeMu_);
  const int fd = fd_.load();
  if (fd < 0) return false;
  // The kernel queue takes a frame at once; the bounded wait only guards a stuck line.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left.count()));
  }
  return true;
}

uint32_t TComPort::ModemStatus() {
  const int fd = fd_.load();
  int bits = 0;
  if (fd < 0 || ::ioctl(fd, TIOCMGET, &bits) != 0) return 0;  // a pseudo-terminal has no modem lines
  uint32_t status = 0;
  if (bits & TIOCM_CTS) status |= kModemCts;
  if (bits & TIOCM_DSR) status |= kModemDsr;
  if (bits & TIOCM_RNG) status |= kModemRing;
  if (bits & TIOCM_CAR) status |= kModemRlsd;
  return status;
}

// ---------------------------------------------------------------------------------------------
// Memory port

class TMemoryPort::Queue final : public TReadSource {
 public:
  void Push(const uint8_t* data, size_t size) {
    {
      std::lock_guard lock(mu_);
      bytes_.insert(bytes_.end(), data, data + size);
    }
    cv_.notify_all();
  }
  // Level-triggered, like poll on a serial device: bytes left waiting are reported again.
  Event WaitEvent() override {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return !bytes_.empty() || woken_; });
    woken_ = false;
    return bytes_.empty() ? Event::Nothing : Event::Data;
  }
  void Wake() override {
    {
      std::lock_guard lock(mu_);
      woken_ = true;
    }
    cv_.notify_all();
  }
  int Available() override {
    std::lock_guard lock(mu_);
    return static_cast<int>(bytes_.size());
  }
  int Read(uint8_t* buffer, int size) override {
    std::lock_guard lock(mu_);
    const int n = std::min(size, static_cast<int>(bytes_.size()));
    std::copy_n(bytes_.begin(), n, buffer);
    bytes_.erase(bytes_.begin(), bytes_.begin() + n);
    return n;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<uint8_t> bytes_;
  bool woken_ = false;
};

TMemoryPort::~TMemoryPort() { TMemoryPort::Close(); }

bool TMemoryPort::Open() {
  if (open_) return true;
  if (!OnOpen()) return false;
  auto queue = std::make_shared<Queue>();
  {
    std::lock_guard lock(queueMu_);
    queue_ = queue;
  }
  ReadReady.reset();
  // The receive thread owns a proxy; the queue itself outlives it through the shared pointer.
  struct Proxy final : TReadSource {
    std::shared_ptr<Queue> q;
    Event WaitEvent() override { return q->WaitEvent(); }
    void Wake() override { q->Wake(); }
    int Available() override { return q->Available(); }
    int Read(uint8_t* b, int n) override { return q->Read(b, n); }
  };
  auto proxy = std::make_unique<Proxy>();
  proxy->q = queue;
  if (!StartReadThread(std::move(proxy))) {
    std::lock_guard lock(queueMu_);
    queue_.reset();
    OnClose();
    return false;
  }
  open_ = true;
  return true;
}

void TMemoryPort::Close() {
  if (!open_.exchange(false)) return;
  StopReadThread();
  {
    std::lock_guard lock(queueMu_);
    queue_.reset();
  }
  OnClose();
}

bool TMemoryPort::Write(const uint8_t* data, size_t size) {
  if (!open_ || writeFails_) return false;
  return Transmit(data, size);
}

void TMemoryPort::Receive(const uint8_t* data, size_t size) {
  std::shared_ptr<Queue> queue;
  {
    std::lock_guard lock(queueMu_);
    queue = queue_;
  }
  if (queue) queue->Push(data, size);
}

}  // namespace ferrolad
