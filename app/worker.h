// One job at a time off the UI thread, for the panels whose work talks to a
// register: the transfer panel's transfers and checks, the console's keys.
//
// Start runs the job on a thread of its own and, once it has returned,
// joins that thread and calls `ended` on the UI thread (posted, so the panel
// sees the end from its event loop, never from inside Start). While the job
// runs the UI thread keeps painting; the engine's messages and questions
// reach it through the QtUserInterface, which the job waits on. So the UI
// thread never waits for the job: a panel that must go while its job runs
// stops it (the link's abort flag, a question up answered Cancel) and goes
// once `ended` has come.
//
// CancelAndJoin is for a destructor, where no event loop may run: what the
// job waits for, and anything it asks later, is answered with Cancel, and
// the thread is joined.
//
// UI thread only (Start, CancelAndJoin, running); the job runs on its own
// thread.
#pragma once

#include <QObject>
#include <functional>
#include <thread>

namespace zel::app {

class QtUserInterface;

class Worker : public QObject {
  Q_OBJECT
 public:
  explicit Worker(QObject* parent = nullptr);
  // Joins a job still running; its owner has ended it first (CancelAndJoin).
  ~Worker() override;

  // Starts `job` unless one runs (then false, nothing started).
  bool Start(std::function<void()> job, std::function<void()> ended);
  // Answers the job's questions with Cancel until it has returned; joins it.
  void CancelAndJoin(QtUserInterface& ui);
  bool running() const { return thread_.joinable(); }

 private:
  void Ended(unsigned generation);

  std::thread thread_;
  unsigned generation_ = 0;
  std::function<void()> ended_;
};

}  // namespace zel::app
