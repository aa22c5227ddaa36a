#include "ui/qt_main_thread.h"

#include <QMetaObject>
#include <QThread>

namespace ferrolad {

QtMainThread::QtMainThread(QObject* parent) : QObject(parent) {}

void QtMainThread::runSync(std::function<void()> fn) {
  if (!fn) return;
  if (isCurrentThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, [f = std::move(fn)] { f(); }, Qt::BlockingQueuedConnection);
}

void QtMainThread::post(std::function<void()> fn) {
  if (!fn) return;
  QMetaObject::invokeMethod(this, [f = std::move(fn)] { f(); }, Qt::QueuedConnection);
}

bool QtMainThread::isCurrentThread() const { return QThread::currentThread() == thread(); }

}  // namespace ferrolad
