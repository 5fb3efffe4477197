// The report view as a dealer uses it: pick a report file, preview it, save
// it as PDF, print it; Qt's own dialogs in Greek; and what a new user met on
// the way (help without a browser, the about box, the help line after Save
// as, panel captions, fields wide enough for their text).
#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QStatusBar>
#include <QStyleOptionFrame>
#include <QTextBrowser>
#include <QToolBar>
#include <fstream>

#include "app/help_line.h"
#include "app/report_print.h"
#include "core/cp1253.h"
#include "editors/items_panel.h"
#include "editors/logo_panel.h"
#include "panel_fixture.h"

namespace zel::app {
namespace {

using test::PanelFixture;
using test::Q;
using test::WindowFixture;

// Three pages separated by form-feed lines, as the FM_ report has them, the
// last line Greek (code page 1253).
const std::string kThreePages =
    "first page\r\n\f\r\nsecond page\r\n\f\r\n" + cp1253::Encode("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ: 12,50") + "\r\n\f\r\n";

QString WriteFile(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
  return path;
}

// What poppler reads from a PDF: its page count and its text.
struct PdfText {
  int pages = 0;
  QString text;
};
PdfText ReadPdf(const QString& path) {
  PdfText out;
  QProcess info;
  info.start(QStringLiteral("pdfinfo"), {path});
  info.waitForFinished(30000);
  for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split(QLatin1Char('\n')))
    if (line.startsWith(QStringLiteral("Pages:"))) out.pages = line.mid(6).trimmed().toInt();
  QProcess text;
  text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
  text.waitForFinished(30000);
  out.text = QString::fromUtf8(text.readAllStandardOutput());
  return out;
}

class ReportViewTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    StartShown();
    report_ = WriteFile(Path("FM_TEST.TXT"), kThreePages);
  }
  QString report_;
};

TEST_F(ReportViewTest, CancelInTheFileBoxDoesNothingAndEmptiesThePath) {
  clock_.Advance(std::chrono::seconds(2));
  ASSERT_TRUE(w().SwitchPanel(panel::kItems));
  for (const CommandId id : {CommandId::kPrintPreview, CommandId::kPrint}) {
    dialogs().files.push_back(std::nullopt);  // Cancel
    w().action(id)->trigger();
    EXPECT_TRUE(dialogs().dialogs.empty());
    EXPECT_TRUE(w().print_report_path().empty());
  }
  // The panel closed for the pick; the box asked for a text file.
  EXPECT_EQ(w().active_panel(), nullptr);
  ASSERT_EQ(dialogs().files_seen.size(), 2u);
  const test::SeenFileDialog& box = dialogs().files_seen[0];
  EXPECT_EQ(box.accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(box.name_filters, QStringList{"Setup ZEL ΑΛΛΑΓΗ (*.txt)"});
  EXPECT_EQ(box.default_suffix, QString("txt"));
  EXPECT_TRUE(box.selected.isEmpty());
  EXPECT_TRUE(w().action(CommandId::kPrint)->isEnabled());
}

TEST_F(ReportViewTest, PreviewShowsTheReportAndSavesItAsPdf) {
  const QString pdf = Path("FM_TEST.pdf");
  dialogs().files = {report_, pdf};
  int preview_pages = -1;
  QString preview_notice;
  dialogs().on_dialog = [&](QDialog& dialog) {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(&dialog);
    EXPECT_NE(preview, nullptr);
    if (preview == nullptr) return 0;
    // The preview lays the pages out as it opens.
    preview->open();
    if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) preview_pages = widget->pageCount();
    QAction* save = nullptr;
    for (QAction* a : preview->findChild<QToolBar*>()->actions())
      if (a->text() == QString("Αποθήκευση ως PDF")) save = a;
    EXPECT_NE(save, nullptr);
    if (save != nullptr) save->trigger();
    // The preview covers the window's status bar: its own says so.
    if (auto* bar = preview->findChild<QStatusBar*>(QStringLiteral("previewStatus")))
      preview_notice = bar->currentMessage();
    preview->reject();
    return 0;
  };
  w().action(CommandId::kPrintPreview)->trigger();
  ASSERT_EQ(dialogs().dialogs.size(), 1u);
  EXPECT_EQ(dialogs().dialogs[0].class_name, QString("QPrintPreviewDialog"));
  EXPECT_EQ(dialogs().dialogs[0].title, QString("Προεπισκόπηση εκτύπωσης"));
  EXPECT_EQ(preview_pages, 3);
  // The PDF box starts beside the report, with its name.
  ASSERT_EQ(dialogs().files_seen.size(), 2u);
  EXPECT_EQ(dialogs().files_seen[1].accept_mode, QFileDialog::AcceptSave);
  EXPECT_EQ(QFileInfo(dialogs().files_seen[1].selected).fileName(), QString("FM_TEST.pdf"));
  EXPECT_EQ(QFileInfo(dialogs().files_seen[1].directory), QFileInfo(dir_.path()));

  const PdfText read = ReadPdf(pdf);
  EXPECT_EQ(read.pages, 3);
  for (const char* footer : {"Page   1 from   3", "Page   2 from   3", "Page   3 from   3"})
    EXPECT_TRUE(read.text.contains(QString(footer))) << footer;
  EXPECT_TRUE(read.text.contains(QString("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ: 12,50"))) << read.text.toStdString();
  EXPECT_TRUE(dialogs().boxes.empty());
  const QString saved = "Αποθηκεύτηκε το αρχείο " + QFileInfo(pdf).fileName();
  EXPECT_EQ(preview_notice, saved);
  EXPECT_EQ(w().notice().text(), saved);
}

TEST_F(ReportViewTest, PrintGoesThroughThePrintDialogWithItsPageRange) {
  dialogs().files = {report_};
  dialogs().dialog_result = QDialog::Accepted;
  const QString pdf = Path("printed.pdf");
  w().printer().setOutputFormat(QPrinter::PdfFormat);
  w().printer().setOutputFileName(pdf);
  // Only pages 2 to 3, as chosen in the dialog.
  dialogs().on_dialog = [&](QDialog& dialog) {
    EXPECT_EQ(QString(dialog.metaObject()->className()), QString("QPrintDialog"));
    w().printer().setPrintRange(QPrinter::PageRange);
    w().printer().setFromTo(2, 3);
    return static_cast<int>(QDialog::Accepted);
  };
  w().action(CommandId::kPrint)->trigger();
  ASSERT_EQ(dialogs().dialogs.size(), 1u);
  const PdfText read = ReadPdf(pdf);
  EXPECT_EQ(read.pages, 2);
  EXPECT_FALSE(read.text.contains(QString("first page")));
  EXPECT_TRUE(read.text.contains(QString("second page")));
  EXPECT_TRUE(read.text.contains(QString("Page   3 from   3")));
}

TEST_F(ReportViewTest, UnreadableReportIsSaidInGreekAndNothingPrints) {
  dialogs().files = {Path("gone.txt")};
  w().action(CommandId::kPrint)->trigger();
  EXPECT_TRUE(dialogs().dialogs.empty());
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_TRUE(dialogs().boxes[0].text.startsWith(QString("Δεν ήταν δυνατό να διαβαστεί το αρχείο της αναφοράς")));
}

TEST(ReportPdf, UnwritableTargetFailsAndLeavesNoFile) {
  QTemporaryDir dir;
  const QString report = WriteFile(dir.filePath("r.txt"), "line\r\n");
  const std::optional<QString> error = WriteReportPdf(report.toStdString(), dir.filePath("no/such/folder/r.pdf"));
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->startsWith(QString("Δεν ήταν δυνατό να γραφτεί το αρχείο PDF")));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"r.txt"});
}

// An earlier version wrote NAME.part and renamed it; a print killed
// half-way left that file. The next save of NAME removes it, but not a
// growing download of the same name.
TEST(ReportPdf, StalePartOfAnEarlierSaveGoesWithTheNextSave) {
  QTemporaryDir dir;
  const QString report = WriteFile(dir.filePath("r.txt"), "line\r\n");
  const auto part = [&](const QString& name, int age_s) {
    const QString path = dir.filePath(name);
    WriteFile(path, "%PDF-1.4\n% torn");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadWrite) &&
                f.setFileTime(QDateTime::currentDateTime().addSecs(-age_s), QFileDevice::FileModificationTime));
  };
  part("old.pdf.part", 600);
  part("new.pdf.part", 0);
  ASSERT_EQ(WriteReportPdf(report.toStdString(), dir.filePath("old.pdf")), std::nullopt);
  ASSERT_EQ(WriteReportPdf(report.toStdString(), dir.filePath("new.pdf")), std::nullopt);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList{"new.pdf", "new.pdf.part", "old.pdf", "r.txt"}));
  // A name with control bytes is shown escaped in the refusal.
  const std::optional<QString> error = WriteReportPdf(report.toStdString(), dir.filePath("no/x\x1b[2J.pdf"));
  ASSERT_TRUE(error.has_value());
  EXPECT_FALSE(error->contains(QChar(0x1b)));
  EXPECT_TRUE(error->contains(QString("x\\x1b[2J.pdf"))) << error->toStdString();
}

// ---- Qt's own texts in Greek ------------------------------------------------------

TEST_F(WindowFixture, QtDialogsSpeakGreek) {
  StartShown();
  QStringList buttons;
  dialogs().on_box = [&](QMessageBox& box) {
    for (QAbstractButton* b : box.buttons()) buttons << b->text().remove(QLatin1Char('&'));
  };
  w().ui().AskYesNo("Έξοδος χωρίς αποθήκευση;", Icon::kQuestion);
  w().ui().AskRetryCancel("Σφάλμα", Icon::kError);
  w().ui().ShowMessage("OK", Icon::kInformation);
  for (const char* text : {"Ναι", "Όχι", "Επανάληψη", "Άκυρο", "Εντάξει"})
    EXPECT_TRUE(buttons.contains(QString(text))) << text << " in " << buttons.join('|').toStdString();

  QFileDialog file(&w());
  file.setOption(QFileDialog::DontUseNativeDialog);
  QStringList labels;
  for (const QLabel* l : file.findChildren<QLabel*>()) labels << l->text().remove(QLatin1Char('&'));
  EXPECT_TRUE(labels.contains(QString("Όνομα αρχείου:"))) << labels.join('|').toStdString();
  EXPECT_EQ(file.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text().remove('&'),
            QString("Άνοιγμα"));
}

// ---- What a new user met -------------------------------------------------------------

TEST_F(WindowFixture, HelpWithoutABrowserShowsTheManualInAWindowOfItsOwn) {
  StartShown();
  const QString manual = WriteFile(Path("index.html"),
                                   "<html><body><p><a href=\"#print\">Εκτύπωση</a></p>"
                                   "<p>text</p><h2 id=\"print\">Εκτύπωση αναφορών</h2></body></html>");
  w().SetManualPath(manual);
  QList<QUrl> asked;
  w().SetUrlOpener([&](const QUrl& url) {
    asked << url;
    return false;  // no xdg-open
  });
  w().action(CommandId::kHelp)->trigger();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(dialogs().boxes.empty());
  ASSERT_NE(w().help_window(), nullptr);
  EXPECT_TRUE(w().help_window()->isVisible());
  auto* browser = w().help_window()->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->source(), QUrl::fromLocalFile(manual));
  EXPECT_TRUE(browser->toPlainText().contains(QString("Εκτύπωση αναφορών")));
  // A link of the manual moves within the window.
  browser->setSource(QUrl::fromLocalFile(manual).resolved(QUrl("#print")));
  EXPECT_EQ(browser->source().fragment(), QString("print"));
  // Help again: the same window, not a second one.
  QDialog* first = w().help_window();
  w().action(CommandId::kHelp)->trigger();
  EXPECT_EQ(w().help_window(), first);
}

TEST_F(WindowFixture, AboutBoxIsWideEnoughForItsTitle) {
  StartShown();
  int min_width = 0;
  QString title;
  dialogs().on_dialog = [&](QDialog& dialog) {
    min_width = dialog.minimumWidth();
    title = dialog.windowTitle();
    return static_cast<int>(QDialog::Accepted);
  };
  w().action(CommandId::kAbout)->trigger();
  QFont bold = w().font();
  bold.setBold(true);
  EXPECT_GE(min_width, QFontMetrics(bold).horizontalAdvance(title) + 120);
}

class NewUserPanels : public PanelFixture {};

TEST_F(NewUserPanels, EveryEditorPanelShowsItsCaption) {
  for (const int n : {panel::kLogo, panel::kOtherData, panel::kItems, panel::kParameters}) {
    Open(n);
    auto* caption = w().active_panel()->findChild<QLabel*>(QStringLiteral("caption"));
    ASSERT_NE(caption, nullptr) << n;
    EXPECT_EQ(caption->text(), PanelCaption(n));
    EXPECT_TRUE(caption->isVisible());
    // The panel still fits the window.
    EXPECT_LE(w().active_panel()->height(), w().centralWidget()->height()) << n;
  }
}

TEST_F(NewUserPanels, SaveAsClosingAPanelTakesItsHelpLineAlong) {
  Open(panel::kItems);
  // Typing in a field shows its help.
  Retype(editors::kItemName, Q("ΨΩΜΙ"));
  EXPECT_FALSE(w().help_line().text().isEmpty());
  dialogs().files.push_back(std::nullopt);  // Save as: Cancel
  w().action(CommandId::kSaveAs)->trigger();
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_TRUE(w().help_line().text().isEmpty());
  EXPECT_EQ(w().help_line().style(), HelpLine::Style::kNoBorder);
}

// A full-length name and logo line show whole once the field is left: the
// field is wide enough for them and shows its start.
TEST_F(NewUserPanels, FieldsShowTheirWholeTextAfterLeavingThem) {
  struct Case {
    int panel;
    int field;
    QString text;
  };
  const Case cases[] = {
      {panel::kItems, editors::kItemName, Q("ΣΟΚΟΛΑΤΑ ΓΑΛΑΚΤΟΣ ΜΕ ΦΟΥΝΤ")},
      {panel::kLogo, editors::LineTextControl(1), Q("ΜΙΝΙ ΜΑΡΚΕΤ Ο ΚΩΣΤΑΣ ΑΝΤΩΝΙΟΥ ΑΕ")},
  };
  for (const Case& c : cases) {
    Open(c.panel);
    FieldEdit* edit = &F(c.field);
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Type(edit, c.text);
    ASSERT_EQ(edit->text(), c.text);
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->cursorPosition(), 0);
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const int room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() - 4;
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(c.text), room) << c.text.toStdString();
  }
}

}  // namespace
}  // namespace zel::app
