// The engine's user interface on Qt: boxes with the right icon, buttons and
// default button; file dialogs from the engine's request; title and help line;
// and calls from a worker thread handed to the UI thread.
#include "app/qt_user_interface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/beep.h"
#include "app/help_line.h"
#include "gui_support.h"

namespace zel::app {
namespace {

using test::RealBoxAnswerer;
using test::ScriptedDialogs;

class QtUserInterfaceTest : public ::testing::Test {
 protected:
  QtUserInterfaceTest() : dialogs_(ui_) {
    ui_.SetWindow(&window_);
    ui_.SetHelpLine(&line_);
  }
  QWidget window_;
  HelpLine line_;
  QtUserInterface ui_;
  ScriptedDialogs dialogs_;
};

TEST_F(QtUserInterfaceTest, MessageBoxesCarryTheEngineIconCaptionAndModality) {
  struct Case {
    Icon icon;
    QMessageBox::Icon box_icon;
    const char* caption;
    bool system_modal;
  } const cases[] = {
      {Icon::kError, QMessageBox::Critical, "", false},
      {Icon::kExclamation, QMessageBox::Warning, "Προσοχή", false},
      {Icon::kInformation, QMessageBox::Information, "", true},
      {Icon::kQuestion, QMessageBox::Question, "", false},
      {Icon::kNone, QMessageBox::NoIcon, "", true},
  };
  for (const auto& c : cases) {
    dialogs_.boxes.clear();
    ui_.ShowMessage("Σφάλμα εγγραφής!", c.icon, c.caption, c.system_modal);
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    const auto& b = dialogs_.boxes[0];
    EXPECT_EQ(b.text, QString("Σφάλμα εγγραφής!"));
    EXPECT_EQ(b.icon, c.box_icon);
    EXPECT_EQ(b.title, QString::fromUtf8(c.caption));  // empty when the engine asks for none
    EXPECT_EQ(b.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(b.modality, Qt::ApplicationModal);
    EXPECT_EQ(b.on_top, c.system_modal);
  }
}

TEST_F(QtUserInterfaceTest, QuestionsHaveTheirButtonsAndNoOrRetryAsDefault) {
  dialogs_.answers = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Retry, QMessageBox::Cancel};
  EXPECT_TRUE(ui_.AskYesNo("Οι τελευταίες αλλαγές θα χαθούν!", Icon::kExclamation));
  EXPECT_FALSE(ui_.AskYesNo("Έξοδος χωρίς αποθήκευση;", Icon::kQuestion, true));
  EXPECT_TRUE(ui_.AskRetryCancel("Ο εκτυπωτής δεν απαντά", Icon::kError));
  EXPECT_FALSE(ui_.AskRetryCancel("Ο εκτυπωτής δεν απαντά", Icon::kError));
  ASSERT_EQ(dialogs_.boxes.size(), 4u);
  for (const std::size_t i : {0u, 1u}) {
    EXPECT_EQ(dialogs_.boxes[i].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(dialogs_.boxes[i].default_button, QMessageBox::No);
    EXPECT_EQ(dialogs_.boxes[i].escape_button, QMessageBox::No);
  }
  EXPECT_EQ(dialogs_.boxes[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(dialogs_.boxes[0].on_top);
  EXPECT_TRUE(dialogs_.boxes[1].on_top);
  for (const std::size_t i : {2u, 3u}) {
    EXPECT_EQ(dialogs_.boxes[i].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(dialogs_.boxes[i].default_button, QMessageBox::Retry);
    EXPECT_EQ(dialogs_.boxes[i].escape_button, QMessageBox::Cancel);
  }
}

TEST_F(QtUserInterfaceTest, RealBoxAnswersNoToEnterAndEscape) {
  ui_.SetDialogSeam({});
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    RealBoxAnswerer answer([key](QMessageBox& box) { QTest::keyClick(&box, key); });
    EXPECT_FALSE(ui_.AskYesNo("Έξοδος χωρίς αποθήκευση;", Icon::kQuestion, true)) << key;
    EXPECT_TRUE(answer.answered);
  }
  RealBoxAnswerer yes([](QMessageBox& box) { QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton); });
  EXPECT_TRUE(ui_.AskYesNo("Έξοδος χωρίς αποθήκευση;", Icon::kQuestion, true));
  EXPECT_EQ(yes.text, QString("Έξοδος χωρίς αποθήκευση;"));
}

TEST_F(QtUserInterfaceTest, FileDialogFollowsTheEngineRequest) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  FileDialog request;
  request.mode = FileDialog::Mode::kSave;
  request.default_extension = ".cld";
  request.initial_path = dir.filePath("κατάστημα.cld").toStdString();
  request.filter = "Setup ZEL ΑΛΛΑΓΗ (*.cld)|*.cld||";
  request.overwrite_prompt = true;
  dialogs_.files = {dir.filePath("νέο.cld"), std::nullopt};

  EXPECT_EQ(ui_.ChooseFile(request), QFile::encodeName(dir.filePath("νέο.cld")).toStdString());
  request.mode = FileDialog::Mode::kOpen;
  request.overwrite_prompt = false;
  EXPECT_EQ(ui_.ChooseFile(request), std::nullopt);  // Cancel

  ASSERT_EQ(dialogs_.files_seen.size(), 2u);
  const auto& save = dialogs_.files_seen[0];
  EXPECT_EQ(save.accept_mode, QFileDialog::AcceptSave);
  EXPECT_EQ(save.name_filters, QStringList{"Setup ZEL ΑΛΛΑΓΗ (*.cld)"});
  EXPECT_EQ(save.default_suffix, "cld");
  EXPECT_TRUE(save.confirm_overwrite);
  EXPECT_EQ(save.directory, QDir(dir.path()).absolutePath());
  EXPECT_TRUE(save.selected.endsWith("κατάστημα.cld")) << save.selected.toStdString();
  const auto& open = dialogs_.files_seen[1];
  EXPECT_EQ(open.accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(open.file_mode, QFileDialog::ExistingFile);
  EXPECT_FALSE(open.confirm_overwrite);
}

// On a machine whose locale is C the file dialog still speaks Greek: sizes,
// types and dates in the program's locale, and no header, cell or place cut
// short on a 1024 x 768 screen.
TEST_F(QtUserInterfaceTest, FileDialogIsGreekAndCutsNoHeaderCellOrPlace) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("AP_ABC12345678.TXT");
  const QDateTime when(QDate(2024, 12, 3), QTime(10, 0));
  {
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1500, 'x'));
    f.flush();
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
  }
  {
    QFile f(dir.filePath("small.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(289, 'y'));
  }

  QStringList cells, problems;
  dialogs_.on_file = [&](QFileDialog& dialog) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(tree, nullptr);
    const QAbstractItemModel* model = tree->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(tree->rootIndex()) == 2; }));
    const QHeaderView* header = tree->header();
    for (int c = 0; c < model->columnCount(tree->rootIndex()); ++c) {
      const QString title = model->headerData(c, Qt::Horizontal).toString();
      if (header->fontMetrics().horizontalAdvance(title) > header->sectionSize(c) - 8) problems << "header " + title;
      for (int r = 0; r < 2; ++r) {
        const QString text = model->index(r, c, tree->rootIndex()).data().toString();
        cells << text;
        // Names carry their icon before them.
        const int room = header->sectionSize(c) - (c == 0 ? tree->iconSize().width() + 24 : 8);
        if (tree->fontMetrics().horizontalAdvance(text) > room) problems << "cell " + text;
      }
    }
    auto* side = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
    ASSERT_NE(side, nullptr);
    for (int r = 0; r < side->model()->rowCount(); ++r) {
      const QModelIndex i = side->model()->index(r, 0);
      if (side->visualRect(i).right() > side->viewport()->width() ||
          side->fontMetrics().horizontalAdvance(i.data().toString()) > side->viewport()->width() - 24)
        problems << "place " + i.data().toString();
    }
    EXPECT_LE(dialog.width(), 1024);
    EXPECT_LE(dialog.height(), 768);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog)) << "the desktop's dialog speaks its own language";
  };
  dialogs_.files = {std::nullopt};
  FileDialog request;
  request.mode = FileDialog::Mode::kOpen;
  request.filter = "Setup ZEL ΑΛΛΑΓΗ (*.txt)|*.txt||";
  request.initial_path = QFile::encodeName(dir.path() + "/").toStdString();
  EXPECT_EQ(ui_.ChooseFile(request), std::nullopt);

  EXPECT_TRUE(problems.isEmpty()) << problems.join(", ").toStdString();
  const QString all = cells.join(" | ");
  for (const char* english : {"bytes", "KiB", "unknown", "plain text", "document", "Dec"})
    EXPECT_FALSE(all.contains(QLatin1String(english))) << english << " in " << all.toStdString();
  EXPECT_TRUE(cells.contains(QStringLiteral("1,46 kB"))) << all.toStdString();
  EXPECT_TRUE(cells.contains(QStringLiteral("289 byte"))) << all.toStdString();
  EXPECT_TRUE(cells.contains(QStringLiteral("Έγγραφο απλού κειμένου"))) << all.toStdString();
  EXPECT_TRUE(cells.contains(QStringLiteral("3/12/24 10:00 Π.Μ."))) << all.toStdString();
}

TEST_F(QtUserInterfaceTest, TitleAndHelpLineFollowTheEngine) {
  ui_.SetTitle("Setup ZEL - Αρχική βάση δεδομένων");
  EXPECT_EQ(window_.windowTitle(), QString("Setup ZEL - Αρχική βάση δεδομένων"));

  ui_.SetStatusLine("Εισάγετε Αρ. Μητρ. ΦΤΜ", 0xE0FFFF);
  EXPECT_EQ(line_.text(), QString("Εισάγετε Αρ. Μητρ. ΦΤΜ"));
  EXPECT_EQ(line_.background(), QColor(255, 255, 224));
  EXPECT_EQ(line_.style(), HelpLine::Style::kPopOut);
  EXPECT_EQ(line_.frameShape(), QFrame::Panel);

  ui_.SetStatusLine("", -1);
  EXPECT_EQ(line_.text(), QString());
  EXPECT_EQ(line_.background(), std::nullopt);
  EXPECT_EQ(line_.style(), HelpLine::Style::kNoBorder);
  EXPECT_EQ(line_.frameShape(), QFrame::NoFrame);

  const int before = Beeps().count;
  ui_.Beep(400, 20);
  EXPECT_EQ(Beeps().count, before + 1);
  EXPECT_EQ(Beeps().last_ms, 20);
}

// A transfer runs off the UI thread: what it asks must be answered on the UI
// thread while the worker waits, and what it sets must arrive there in order.
TEST_F(QtUserInterfaceTest, WorkerThreadCallsAreHandedToTheUiThread) {
  QThread* const ui_thread = QThread::currentThread();
  dialogs_.answers = {QMessageBox::Yes, QMessageBox::Retry};
  dialogs_.files = {QStringLiteral("/tmp/από-νήμα.cld")};
  QString title_when_box_shown;
  dialogs_.on_box = [&](QMessageBox&) { title_when_box_shown = window_.windowTitle(); };
  std::vector<int> progress;
  QObject::connect(&ui_, &QtUserInterface::ProgressChanged, &window_, [&](int p) {
    EXPECT_EQ(QThread::currentThread(), ui_thread);
    progress.push_back(p);
  });

  std::atomic<bool> done{false};
  bool yes = false, retry = false;
  std::optional<std::string> file;
  std::thread worker([&] {
    ui_.SetTitle("από το νήμα");
    for (int p = 1; p <= 3; ++p) ui_.SetProgress(p);
    ui_.ShowMessage("Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!", Icon::kInformation);
    yes = ui_.AskYesNo("Ερώτηση;", Icon::kQuestion);
    retry = ui_.AskRetryCancel("Ξανά;", Icon::kError);
    file = ui_.ChooseFile(FileDialog{});
    ui_.SetStatusLine("τέλος", 0xFFFFFF);
    done = true;
  });
  // Should the hand-over fail, the worker never returns: terminate rather than hang.
  if (!QTest::qWaitFor([&] { return done.load(); }, 10000)) std::terminate();
  worker.join();
  EXPECT_TRUE(yes);
  EXPECT_TRUE(retry);
  EXPECT_EQ(file, "/tmp/από-νήμα.cld");
  ASSERT_EQ(dialogs_.boxes.size(), 3u);
  for (const auto& b : dialogs_.boxes) EXPECT_EQ(b.thread, ui_thread);
  EXPECT_EQ(dialogs_.files_seen.at(0).thread, ui_thread);
  // The title was set before the message: it was there when the box showed.
  EXPECT_EQ(title_when_box_shown, QString("από το νήμα"));
  EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return line_.text() == "τέλος"; }));
}

TEST_F(QtUserInterfaceTest, WorkerThreadWaitsForARealBoxAnsweredByTheUser) {
  ui_.SetDialogSeam({});
  RealBoxAnswerer answer([](QMessageBox& box) { QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton); });
  std::atomic<int> result{-1};
  std::thread worker([&] { result = ui_.AskYesNo("Συνέχεια;", Icon::kQuestion) ? 1 : 0; });
  if (!QTest::qWaitFor([&] { return result.load() != -1; }, 10000)) std::terminate();
  worker.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(answer.thread, QThread::currentThread());
}

// Closing with a worker still running: its waiting question, and any it asks
// afterwards, are answered as cancelled at once, with no event loop run and
// no box shown, until the calls are accepted again.
TEST_F(QtUserInterfaceTest, CancelledWorkerCallsAnswerCancelWithoutShowingAnything) {
  std::atomic<int> retry{-1};
  std::thread worker([&] {
    retry = ui_.AskRetryCancel("Ξανά;", Icon::kQuestion) ? 1 : 0;
    EXPECT_FALSE(ui_.AskYesNo("Συνέχεια;", Icon::kQuestion));
    EXPECT_EQ(ui_.ChooseFile(FileDialog{}), std::nullopt);
    ui_.ShowMessage("τέλος", Icon::kInformation);
  });
  ASSERT_TRUE(ui_.WaitForWaitingCalls(1));
  ASSERT_EQ(ui_.WaitingCalls(), 1u);
  ui_.CancelWorkerCalls();
  worker.join();
  EXPECT_EQ(retry.load(), 0);
  // The question posted before the cancel comes up now and is dropped.
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialogs_.boxes.empty());

  ui_.AcceptWorkerCalls();
  dialogs_.answers.push_back(QMessageBox::Yes);
  std::atomic<int> yes{-1};
  std::thread later([&] { yes = ui_.AskYesNo("Συνέχεια;", Icon::kQuestion) ? 1 : 0; });
  if (!QTest::qWaitFor([&] { return yes.load() != -1; }, 10000)) std::terminate();
  later.join();
  EXPECT_EQ(yes.load(), 1);
}

// The hand-over itself, against a queue the test runs: nothing reaches the
// UI thread but through the queue, in call order, and an answer goes back to
// the waiting worker only when the UI thread has run its call.
TEST_F(QtUserInterfaceTest, AskAndAnswerGoThroughTheQueueInCallOrder) {
  std::mutex mutex;
  std::condition_variable woken;
  int wakes = 0;
  ui_.SetWake([&] {
    const std::lock_guard lock(mutex);
    ++wakes;
    woken.notify_all();
  });
  dialogs_.answers = {QMessageBox::Yes};
  std::vector<int> progress;
  QObject::connect(&ui_, &QtUserInterface::ProgressChanged, &window_, [&](int p) { progress.push_back(p); });
  std::atomic<int> yes{-1};
  std::thread worker([&] {
    ui_.SetProgress(1);
    ui_.SetProgress(2);
    yes = ui_.AskYesNo("Συνέχεια;", Icon::kQuestion) ? 1 : 0;
  });
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wakes == 3; }))
        << "one wake-up per call handed over";
  }
  ASSERT_EQ(ui_.WaitingCalls(), 1u);
  EXPECT_TRUE(progress.empty()) << "nothing runs before the UI thread takes the calls";
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(yes.load(), -1) << "the worker waits for its answer";
  EXPECT_EQ(ui_.RunPostedCalls(), 3u);
  worker.join();
  EXPECT_EQ(progress, (std::vector<int>{1, 2}));
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].thread, QThread::currentThread());
  EXPECT_EQ(yes.load(), 1);
  EXPECT_EQ(ui_.RunPostedCalls(), 0u);
}

}  // namespace
}  // namespace zel::app
