#include "app/worker.h"

#include <QMetaObject>

#include "app/qt_user_interface.h"

namespace zel::app {

Worker::Worker(QObject* parent) : QObject(parent) {}

Worker::~Worker() {
  if (thread_.joinable()) thread_.join();
}

bool Worker::Start(std::function<void()> job, std::function<void()> ended) {
  if (running()) return false;
  ended_ = std::move(ended);
  const unsigned generation = ++generation_;
  thread_ = std::thread([this, generation, job = std::move(job)] {
    job();
    QMetaObject::invokeMethod(
        this, [this, generation] { Ended(generation); }, Qt::QueuedConnection);
  });
  return true;
}

void Worker::Ended(unsigned generation) {
  // The end of a job that CancelAndJoin has already joined, or of an earlier one.
  if (generation != generation_ || !thread_.joinable()) return;
  thread_.join();
  std::function<void()> ended = std::move(ended_);
  ended_ = nullptr;
  if (ended) ended();
}

void Worker::CancelAndJoin(QtUserInterface& ui) {
  if (!thread_.joinable()) return;
  ++generation_;  // its posted end is no longer wanted
  ui.CancelWorkerCalls();
  thread_.join();
  ui.AcceptWorkerCalls();
  ended_ = nullptr;
}

}  // namespace zel::app
