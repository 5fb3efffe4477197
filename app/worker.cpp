#include "app/worker.h"

#include <QCoreApplication>
#include <QEventLoop>
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
  done_.store(false);
  thread_ = std::thread([this, generation, job = std::move(job)] {
    job();
    // Set before the end is posted: Wait, which looks at this flag, is then
    // woken by the posted event.
    done_.store(true);
    QMetaObject::invokeMethod(
        this, [this, generation] { Ended(generation); }, Qt::QueuedConnection);
  });
  return true;
}

void Worker::Ended(unsigned generation) {
  // The end of a job that Wait has already joined, or of an earlier one.
  if (generation != generation_ || !thread_.joinable()) return;
  thread_.join();
  std::function<void()> ended = std::move(ended_);
  ended_ = nullptr;
  if (ended) ended();
}

void Worker::Wait() {
  if (!thread_.joinable()) return;
  // The end the job posts (it may come up in the loop below) is no longer
  // wanted.
  ++generation_;
  while (!done_.load())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
  thread_.join();
  ended_ = nullptr;
}

}  // namespace zel::app

namespace zel::app {

void Worker::CancelAndJoin(QtUserInterface& ui) {
  if (!thread_.joinable()) return;
  ++generation_;  // its posted end is no longer wanted
  ui.CancelWorkerCalls();
  thread_.join();
  ui.AcceptWorkerCalls();
  ended_ = nullptr;
}

}  // namespace zel::app
