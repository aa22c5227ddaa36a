// The one shared settings object: time-outs, log options, compiler limits.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace ferrolad {

// Written on the main thread (start-up, settings dialog); worker threads read the numbers and flags
// at any time, so those are atomics (relaxed: every value stands on its own).
class TCommonDatas {
 public:
  TCommonDatas();  // the defaults, applied through the setters
  TCommonDatas(const TCommonDatas&) = delete;
  TCommonDatas& operator=(const TCommonDatas&) = delete;

  // Language code of the interface ("en"); main thread only.
  std::string Language() const;
  void SetLanguage(std::string code);

  int32_t ComReadTimeout() const { return Get(ComReadTimeout_); }
  int32_t ComHandleTimeout() const { return Get(ComHandleTimeout_); }
  int32_t ResponseTimeout1() const { return Get(ResponseTimeout1_); }
  int32_t ComTimeout() const { return Get(ComTimeout_); }      // ComReadTimeout + ComHandleTimeout
  int32_t ResponseWait() const { return Get(ResponseWait_); }  // ComTimeout + ResponseTimeout1
  int32_t RepeatCount() const { return Get(RepeatCount_); }
  int32_t ReadAttempts() const { return Get(ReadAttempts_); }
  int32_t ResponseTimeout2() const { return Get(ResponseTimeout2_); }
  int32_t GeneralTimeout() const { return Get(GeneralTimeout_); }
  // ResponseWait + (ResponseWait + ComTimeout) * (RepeatCount - 1) + GeneralTimeout, as of the last
  // recomputation (a later GeneralTimeout change does not recompute it).
  int32_t TotalTimeout() const { return Get(TotalTimeout_); }
  bool SlowMode() const { return SlowMode_.load(std::memory_order_relaxed); }
  int32_t Timeout() const { return 300; }
  int32_t Timeout2() const { return 100; }
  int32_t TimeoutSum() const { return Timeout() + Timeout2(); }
  const char* Version() const { return " 3.0.3b"; }  // the leading blank is part of the caption
  const char* CompanyName() const { return "Orvane"; }
  int32_t MaxBlocksInFragment() const { return Get(MaxBlocksInFragment_); }
  bool AddCompilationInfoToLog() const { return AddCompilationInfoToLog_.load(std::memory_order_relaxed); }
  bool SectorTransferEnabled() const { return true; }
  bool WriteLog() const { return WriteLog_.load(std::memory_order_relaxed); }
  bool SaveLog() const { return SaveLog_.load(std::memory_order_relaxed); }
  int32_t LinesToLog() const { return Get(LinesToLog_); }
  std::string LogPath() const;
  int32_t MaxReadRegisters() const { return Get(MaxReadRegisters_); }
  // Interval of the status timer TimerGetState in ms; never below 100.
  int32_t TimerGetStateInterval() const { return Get(TimerGetStateInterval_); }

  // Setters; the derived values follow.
  void SetComReadTimeout(int32_t v);    // -> ComTimeout, ResponseWait, TotalTimeout
  void SetComHandleTimeout(int32_t v);  // -> ComTimeout, ResponseWait, TotalTimeout
  void SetResponseTimeout1(int32_t v);  // -> ResponseWait, TotalTimeout
  void SetRepeatCount(int32_t v);       // -> TotalTimeout
  void SetReadAttempts(int32_t v);
  void SetResponseTimeout2(int32_t v);
  void SetGeneralTimeout(int32_t v);
  void SetSlowMode(bool v);
  void SetMaxBlocksInFragment(int32_t v);
  void SetAddCompilationInfoToLog(bool v);
  void SetWriteLog(bool v);
  void SetSaveLog(bool v);
  void SetLinesToLog(int32_t v);
  void SetLogPath(std::string v);
  void SetMaxReadRegisters(int32_t v);
  void SetTimerGetStateInterval(int32_t ms);  // below 100 ms becomes 100 ms

  // "Ferrolad, ver. 3.0.3b  -  Orvane"
  std::string WindowCaption() const;

 private:
  using Int = std::atomic<int32_t>;
  static int32_t Get(const Int& v) { return v.load(std::memory_order_relaxed); }
  static void Put(Int& v, int32_t x) { v.store(x, std::memory_order_relaxed); }
  void RecomputeComTimeout();
  void RecomputeResponseWait();
  void RecomputeTotalTimeout();

  mutable std::mutex TextLock_;  // guards the two strings
  std::string Language_ = "en";
  std::string LogPath_;
  Int ComReadTimeout_{0}, ComHandleTimeout_{0}, ResponseTimeout1_{0}, ComTimeout_{0}, ResponseWait_{0};
  Int RepeatCount_{0}, ReadAttempts_{0}, ResponseTimeout2_{0}, GeneralTimeout_{0}, TotalTimeout_{0};
  Int MaxBlocksInFragment_{1000}, LinesToLog_{1000}, MaxReadRegisters_{123}, TimerGetStateInterval_{200};
  std::atomic<bool> SlowMode_{false}, AddCompilationInfoToLog_{false}, WriteLog_{true}, SaveLog_{true};
};

}  // namespace ferrolad
