#include "core/common_datas.h"

#include <algorithm>

namespace ferrolad {

TCommonDatas::TCommonDatas() {
  // The order matters: TotalTimeout keeps the GeneralTimeout of its last recomputation.
  SetComReadTimeout(30);
  SetComHandleTimeout(50);
  SetResponseTimeout1(100);
  SetResponseTimeout2(150);
  SetGeneralTimeout(50);
  SetGeneralTimeout(100);
  SetReadAttempts(1);
  SetRepeatCount(3);
}

std::string TCommonDatas::Language() const {
  std::lock_guard lock(TextLock_);
  return Language_;
}

void TCommonDatas::SetLanguage(std::string code) {
  std::lock_guard lock(TextLock_);
  Language_ = std::move(code);
}

std::string TCommonDatas::LogPath() const {
  std::lock_guard lock(TextLock_);
  return LogPath_;
}

void TCommonDatas::SetLogPath(std::string v) {
  std::lock_guard lock(TextLock_);
  LogPath_ = std::move(v);
}

void TCommonDatas::RecomputeComTimeout() { Put(ComTimeout_, ComReadTimeout() + ComHandleTimeout()); }
void TCommonDatas::RecomputeResponseWait() { Put(ResponseWait_, ComTimeout() + ResponseTimeout1()); }
void TCommonDatas::RecomputeTotalTimeout() {
  Put(TotalTimeout_, ResponseWait() + (ResponseWait() + ComTimeout()) * (RepeatCount() - 1) + GeneralTimeout());
}

void TCommonDatas::SetComReadTimeout(int32_t v) {
  Put(ComReadTimeout_, v);
  RecomputeComTimeout();
  RecomputeResponseWait();
  RecomputeTotalTimeout();
}

void TCommonDatas::SetComHandleTimeout(int32_t v) {
  Put(ComHandleTimeout_, v);
  RecomputeComTimeout();
  RecomputeResponseWait();
  RecomputeTotalTimeout();
}

void TCommonDatas::SetResponseTimeout1(int32_t v) {
  Put(ResponseTimeout1_, v);
  RecomputeResponseWait();
  RecomputeTotalTimeout();
}

void TCommonDatas::SetRepeatCount(int32_t v) {
  Put(RepeatCount_, v);
  RecomputeTotalTimeout();
}

void TCommonDatas::SetReadAttempts(int32_t v) { Put(ReadAttempts_, v); }
void TCommonDatas::SetResponseTimeout2(int32_t v) { Put(ResponseTimeout2_, v); }
void TCommonDatas::SetGeneralTimeout(int32_t v) { Put(GeneralTimeout_, v); }
void TCommonDatas::SetSlowMode(bool v) { SlowMode_.store(v, std::memory_order_relaxed); }
void TCommonDatas::SetMaxBlocksInFragment(int32_t v) { Put(MaxBlocksInFragment_, v); }
void TCommonDatas::SetAddCompilationInfoToLog(bool v) { AddCompilationInfoToLog_.store(v, std::memory_order_relaxed); }
void TCommonDatas::SetWriteLog(bool v) { WriteLog_.store(v, std::memory_order_relaxed); }
void TCommonDatas::SetSaveLog(bool v) { SaveLog_.store(v, std::memory_order_relaxed); }
void TCommonDatas::SetLinesToLog(int32_t v) { Put(LinesToLog_, v); }
void TCommonDatas::SetMaxReadRegisters(int32_t v) { Put(MaxReadRegisters_, v); }
void TCommonDatas::SetTimerGetStateInterval(int32_t ms) { Put(TimerGetStateInterval_, std::max<int32_t>(ms, 100)); }

std::string TCommonDatas::WindowCaption() const {
  return std::string("Ferrolad, ver.") + Version() + "  -  " + CompanyName();
}

}  // namespace ferrolad
