#include "app/beep.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <mutex>

namespace zel::app {
namespace {

std::mutex& BeepMutex() {
  static std::mutex m;
  return m;
}
BeepRecord& Record() {
  static BeepRecord r;
  return r;
}

}  // namespace

void Beep(int hz, int ms) {
  {
    std::lock_guard lock(BeepMutex());
    BeepRecord& r = Record();
    ++r.count;
    r.last_hz = hz;
    r.last_ms = ms;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (QThread::currentThread() == app->thread()) {
    QApplication::beep();
  } else {
    QMetaObject::invokeMethod(
        app, [] { QApplication::beep(); }, Qt::QueuedConnection);
  }
}

BeepRecord Beeps() {
  std::lock_guard lock(BeepMutex());
  return Record();
}

}  // namespace zel::app
