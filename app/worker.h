// One job at a time off the UI thread, for the panels whose work talks to a
// register: the transfer panel's transfers and checks, the console's keys.
//
// Start runs the job on a thread of its own and, once it has returned,
// joins that thread and calls `ended` on the UI thread (posted, so the panel
// sees the end from its event loop, never from inside Start). While the job
// runs the UI thread keeps painting; the engine's messages and questions
// reach it through the QtUserInterface, which the job waits on. So the UI
// thread never waits for the job, except in Wait.
//
// Wait is for a panel that goes away (hidden or destroyed) while its job
// runs: the caller first sets the link's abort flag, so every wait of the
// link ends at once and the engine asks nothing more; Wait then keeps
// handing over what the job had already posted (a question then up is still
// answered) until the job has returned, and joins it. User input is held
// back meanwhile: no click can start another switch of panel or job. The
// `ended` of a waited job is not called.
//
// CancelAndJoin is for a destructor, where no event loop may run: what the
// job waits for, and anything it asks later, is answered with Cancel, and
// the thread is joined.
//
// UI thread only (Start, Wait, running); the job runs on its own thread.
#pragma once

#include <QObject>
#include <atomic>
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
  // Until the running job has returned (at once when none runs); joins it.
  void Wait();
  // Answers the job's questions with Cancel until it has returned; joins it.
  void CancelAndJoin(QtUserInterface& ui);
  bool running() const { return thread_.joinable(); }

 private:
  void Ended(unsigned generation);

  std::thread thread_;
  std::atomic<bool> done_{true};
  unsigned generation_ = 0;
  std::function<void()> ended_;
};

}  // namespace zel::app
