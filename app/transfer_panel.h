// Panel 4, the data transfer: what to transfer (thirteen kinds and the two
// item-read options), the direction, the link (LAN with the register's
// address, or a serial port, and the baud rate), the folder for the report
// files; Start, which is Stop while a transfer runs, and the connection
// check. Hiding the panel keeps the link selection in OV_Setup.cfg.
//
// Threading: a transfer or check runs on a worker thread with the
// workspace's one programming session, its own copy of the data image and the
// QtUserInterface, so the window keeps painting and Stop is seen at once: the
// click sets the session's abort flag, which wakes every wait of the link.
// While the worker runs the window is locked (its commands and panel switches
// are refused, minimising keeps the panel) and every control of the panel
// except Stop is disabled; when it has ended the UI thread takes what the
// transfer brought from the copy. The image itself is never shared between
// threads. The engine's messages and questions reach the UI thread through
// the QtUserInterface, which the worker waits on; the UI thread never waits
// for the worker while it runs. The end is posted back to the UI thread.
// Destroying the panel in the middle (the program is torn down) stops the
// worker, answers what it asks with Cancel and joins it.
//
// The rules that are not about widgets live in link/transfer_panel.h.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/worker.h"
#include "core/user_interface.h"
#include "link/transfer.h"
#include "link/transfer_panel.h"

class QCheckBox;
class QDialog;
class QHBoxLayout;
class QVBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zel::app {

class Ipv4Edit;

class TransferPanel : public Panel {
  Q_OBJECT
 public:
  explicit TransferPanel(const PanelContext& context, QWidget* parent = nullptr);
  ~TransferPanel() override;

  void OnShow() override;
  void OnHide() override;

  // Button 1123: starts a transfer, or while one runs stops it.
  void StartTransfer();
  // Button 1184: the connection check.
  void CheckConnection();
  // Button 1414: the report path.
  void ChooseReportPath();
  // After a click on a direction or on "Είδη".
  void UpdateKindControls();

  // "Συνέχεια": carries on the transfer that failed part-way where it
  // stopped (enabled only while there is one).
  void ContinueTransfer();

  // A transfer or connection check is running on the worker.
  bool running() const { return job_ != Job::kNone; }

  // ---- For tests: controls by id (the objects are named "control<id>").
  QWidget* control(int id) const;
  QCheckBox* kind_box(Kind kind) const { return boxes_[static_cast<std::size_t>(kind)]; }
  QLabel* mark(Kind kind) const { return marks_[static_cast<std::size_t>(kind)]; }
  Ipv4Edit* address_edit() const { return address_; }
  QRadioButton* compare_radio() const { return compare_; }
  QCheckBox* verify_box() const { return verify_; }
  QCheckBox* backup_box() const { return backup_; }
  QCheckBox* trace_box() const { return trace_; }
  QPushButton* resume_button() const { return resume_button_; }
  // The difference list of the last comparison or verification, while shown.
  QDialog* differences_dialog() const { return differences_dialog_; }
  const std::optional<ResumePoint>& resume_point() const { return resume_; }

 signals:
  // A transfer or check has ended and the panel has been brought back
  // (before a Stop closes it).
  void JobEnded();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Job { kNone, kTransfer, kCheck };

  void BuildControls();
  void FillLinkList(bool refill);
  KindControls ReadControls() const;
  void WriteControls(const KindControls& controls);
  void SetMark(int kind, UserInterface::Mark mark);
  void ClearMarks();
  // Takes the UI into the running state and starts `work` on the worker.
  void Launch(Job job, std::function<void()> work);
  void SetRunningLook(bool running);
  void WorkerEnded();
  void TransferEnded();
  void CheckEnded();
  LinkSession& session() const;

  // ---- The options beyond the plain transfer (compare, verify, backup,
  // trace, resume).
  void BuildSafetyControls(QHBoxLayout* direction, QVBoxLayout* right, QHBoxLayout* buttons);
  SafetyControls ReadSafetyControls() const;
  void UpdateSafetyControls(KindControls& controls);
  void SetSafetyEnabled(bool enabled);
  void LaunchTransfer(const TransferRequest& request);
  // After a transfer: keeps where a failed one stopped, shows the
  // difference list of a comparison or verification.
  void SafetyEnded();

  QLineEdit* path_edit_ = nullptr;
  QPushButton* path_button_ = nullptr;
  QRadioButton* read_ = nullptr;
  QRadioButton* write_ = nullptr;
  Ipv4Edit* address_ = nullptr;
  QComboBox* link_list_ = nullptr;
  QComboBox* baud_list_ = nullptr;
  std::array<QCheckBox*, kKindCount> boxes_{};
  std::array<QLabel*, kKindCount> marks_{};
  QCheckBox* sales_report_ = nullptr;
  QCheckBox* clear_sales_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* check_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::vector<std::string> port_entries_;  // the link list as FillPortList gave it
  KindControls before_run_;                // the boxes when the running job started

  QRadioButton* compare_ = nullptr;
  QCheckBox* verify_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QCheckBox* trace_ = nullptr;
  QPushButton* resume_button_ = nullptr;
  QDialog* differences_dialog_ = nullptr;
  std::shared_ptr<TransferOutcome> outcome_;  // written by the worker, read once it has ended
  // The running transfer's own copy of the image, taken back when it ends.
  std::shared_ptr<DataImage> transferred_;
  TransferRequest last_request_;       // what the running transfer was asked
  std::optional<ResumePoint> resume_;  // where the last failed transfer stopped
  TransferRequest resume_request_;     // and what it was asked

  Job job_ = Job::kNone;
  Worker worker_;
  bool destroying_ = false;
};

}  // namespace zel::app
