// The window thread for Qt: closures from workers run on the GUI thread.
#pragma once

#include <QObject>

#include "core/main_thread.h"

namespace ferrolad {

// Lives on the GUI thread. runSync from a worker blocks until the GUI thread has run the closure;
// on the GUI thread itself it runs inline. post queues without waiting.
class QtMainThread final : public QObject, public MainThread {
  Q_OBJECT
 public:
  explicit QtMainThread(QObject* parent = nullptr);
  ~QtMainThread() override = default;

  void runSync(std::function<void()> fn) override;
  void post(std::function<void()> fn) override;
  bool isCurrentThread() const override;
};

}  // namespace ferrolad
