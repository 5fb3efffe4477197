// The items panel as a dealer uses it: the list of 16000 items, clicking
// through it, the alphabetical search from the keyboard and the wheel, find
// empty item, and the CSV import and export through their options dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <fstream>
#include <sstream>

#include "app/csv_dialog.h"
#include "app/text.h"
#include "editors/help_texts.h"
#include "panel_fixture.h"

namespace zel::app {
namespace {

using namespace editors;
using test::Greek;
using test::PanelFixture;
using test::Q;

class ItemsPanelTest : public PanelFixture {
 protected:
  void Name(int item, std::string_view utf8) { StoreText(image().item(item - 1).name(), Greek(utf8)); }
  QString Header() { return panel().list_header()->text(); }
  QWidget* Search() { return items().search(); }
};

TEST_F(ItemsPanelTest, OpensOnTheSelectedItemWithAll16000RowsInAFixedFont) {
  for (int i = 0; i < kItemCount; ++i) StoreText(image().item(i).name(), "ITEM " + std::to_string(i + 1));
  image().state.selected.item = 12344;
  Open(panel::kItems);

  EXPECT_EQ(panel().caption(), Q("Setup ZEL - Εφαρμογή προγραμματισμού "));
  PanelList* list = panel().list();
  EXPECT_EQ(list->model()->rowCount(), 16000);
  EXPECT_EQ(list->selected_row(), 12344);
  EXPECT_TRUE(list->isVisible());
  EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->model()->index(12344, 0))))
      << "the item's row is in view";
  EXPECT_EQ(RowText(12344), QString("ITEM 12345") + QString(17, ' ') + QString("12345"));
  EXPECT_EQ(RowText(15999).size(), 32);
  EXPECT_TRUE(QFontInfo(list->font()).fixedPitch());
  EXPECT_EQ(Header(), Q("               Είδος"));

  EXPECT_EQ(F(kItemNumber).text(), QString("12345"));
  EXPECT_EQ(F(kItemName).text(), QString("ITEM 12345"));
  EXPECT_EQ(Focused(), &F(kItemNumber));
  EXPECT_FALSE(image().state.modified);

  // Every label of the table, beside its field.
  for (const auto& [id, text] :
       {std::pair{kItemNumber, "Αριθμός"}, std::pair{kItemName, "Ονομα"}, std::pair{kItemBarcode, "Barcode"},
        std::pair{kItemPrice, "Τιμη"}, std::pair{kItemCategory, "Κατηγορία"}, std::pair{kItemDepartment, "Τμήμα"}}) {
    ASSERT_NE(panel().label(id), nullptr) << text;
    EXPECT_EQ(panel().label(id)->text(), Q(text));
    EXPECT_TRUE(panel().label(id)->isVisible());
  }
  EXPECT_EQ(panel().check_box(kItemFromScale)->text(), Q("Αυτ.Ποσοτητα"));
  EXPECT_EQ(panel().button(kItemFindEmpty)->text(), Q("Εύρεση κενής εγγραφής"));
  EXPECT_EQ(panel().button(kItemImport)->text(), Q("ΕΙΣΑΓΩΓΗ ΕΙΔΩΝ"));
  EXPECT_EQ(panel().button(kItemExport)->text(), Q("ΕΞΑΓΩΓΗ ΕΙΔΩΝ"));
  // The panel lies inside the window.
  EXPECT_TRUE(w().rect().contains(panel().geometry()));
}

TEST_F(ItemsPanelTest, ClickOnRow57ShowsItem57AndTheKeyboardSearchesUntilItLeaves) {
  Name(57, "ΜΠΥΡΑ ΑΛΦΑ");
  Name(300, "ΝΕΡΟ");
  Open(panel::kItems);
  ClickRow(56);
  EXPECT_EQ(image().state.selected.item, 56);
  EXPECT_EQ(F(kItemNumber).text(), QString("57"));
  EXPECT_EQ(F(kItemName).text(), Q("ΜΠΥΡΑ ΑΛΦΑ"));
  EXPECT_EQ(Focused(), Search());
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: "));
  EXPECT_EQ(w().help_line().text(), Q(HelpText(kHelpSearch)));
  EXPECT_EQ(w().help_line().background(), QColor(255, 255, 255));

  Type(Search(), Q("νε"));  // small letters find the capitals
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: νε"));
  EXPECT_EQ(panel().list()->selected_row(), 299);
  EXPECT_EQ(F(kItemName).text(), Q("ΜΠΥΡΑ ΑΛΦΑ")) << "the fields wait until the search is left";

  ClickInto(kItemPrice);
  EXPECT_EQ(F(kItemNumber).text(), QString("300"));
  EXPECT_EQ(F(kItemName).text(), Q("ΝΕΡΟ"));
  EXPECT_EQ(Header(), Q("               Είδος"));
  EXPECT_FALSE(image().state.modified);
}

TEST_F(ItemsPanelTest, SearchCompletesAWordWithABlankBeepsOnAMissAndFindsEmptyItemsWithTilde) {
  Name(1, "COCA COLA");
  Name(2, "COCA LIGHT");
  Name(3, "CAFE");
  Open(panel::kItems);
  ClickInto(kItemName);
  Key(&F(kItemName), Qt::Key_F1);
  ASSERT_EQ(Focused(), Search()) << "F1 in a field searches (and does not open the manual)";

  Type(Search(), "co");
  EXPECT_EQ(panel().list()->selected_row(), 0);
  Type(Search(), " ");
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: coCA "));
  Type(Search(), "L");
  EXPECT_EQ(panel().list()->selected_row(), 1) << "the next letter searches the second word";
  Type(Search(), "I");
  EXPECT_EQ(panel().list()->selected_row(), 1);
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: coCA LI"));

  const int beeps = Beeped();
  Type(Search(), "X");
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: coCA LI")) << "the letter that found nothing is dropped";
  EXPECT_EQ(panel().list()->selected_row(), 1);
  Key(Search(), Qt::Key_Right);  // the next letter of the highlighted name
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: coCA LIG"));
  Key(Search(), Qt::Key_Left);
  EXPECT_EQ(Header(), Q("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: coCA LI"));

  Type(Search(), Q("ж"));
  EXPECT_EQ(Beeped(), beeps + 2) << "a letter no name can hold";

  Type(Search(), "~");
  EXPECT_EQ(image().state.selected.item, 5) << "items 4 and 5 carry default names";
  Key(Search(), Qt::Key_Escape);
  EXPECT_EQ(Focused(), Search());
}

TEST_F(ItemsPanelTest, SearchKeysMoveAndBeepAtTheEndsWhileTheWheelMovesOnlyTheHighlight) {
  Open(panel::kItems);
  ClickRow(0);
  ASSERT_EQ(Focused(), Search());
  struct Step {
    Qt::Key key;
    int row;
    int beeps;
  };
  const Step steps[] = {
      {Qt::Key_Up, 0, 1},           {Qt::Key_Down, 1, 0},   {Qt::Key_PageDown, 21, 0}, {Qt::Key_PageUp, 1, 0},
      {Qt::Key_PageUp, 0, 0},       {Qt::Key_PageUp, 0, 1}, {Qt::Key_End, 15999, 0},   {Qt::Key_Down, 15999, 1},
      {Qt::Key_PageDown, 15999, 1}, {Qt::Key_Home, 0, 0},   {Qt::Key_Home, 0, 1},      {Qt::Key_Backspace, 0, 1},
      {Qt::Key_Delete, 0, 0},
  };
  for (const Step& s : steps) {
    const int beeps = Beeped();
    Key(Search(), s.key);
    EXPECT_EQ(image().state.selected.item, s.row) << s.key;
    EXPECT_EQ(panel().list()->selected_row(), s.row) << s.key;
    EXPECT_EQ(Beeped() - beeps, s.beeps) << s.key;
  }

  PanelList* list = panel().list();
  const QPoint over = list->viewport()->rect().center();
  for (int i = 0; i < 3; ++i) Wheel(list->viewport(), over, -120);
  Wheel(list->viewport(), over, 120);
  EXPECT_EQ(list->selected_row(), 2);
  EXPECT_EQ(image().state.selected.item, 0) << "the wheel moves only the highlight";
  EXPECT_EQ(Focused(), Search());
}

TEST_F(ItemsPanelTest, DoubleClickOnARowEditsItsNameAndF1InTheListSearches) {
  Name(12, "ΓΑΛΑ");
  Open(panel::kItems);
  ClickRow(11, true);
  EXPECT_EQ(F(kItemName).text(), Q("ΓΑΛΑ"));
  EXPECT_EQ(Focused(), &F(kItemName));

  // Tabbing into the list and out of it again brings the keyboard back to
  // the item number.
  panel().list()->setFocus(Qt::TabFocusReason);
  Key(panel().list(), Qt::Key_F1);
  EXPECT_EQ(Focused(), Search());
  ClickInto(kItemBarcode);
  panel().list()->setFocus(Qt::TabFocusReason);
  Key(panel().list(), Qt::Key_Tab);
  EXPECT_EQ(Focused(), &F(kItemNumber));

  // A double click in a field searches too.
  QTest::mouseClick(&F(kItemPrice), Qt::LeftButton);
  QTest::mouseDClick(&F(kItemPrice), Qt::LeftButton);
  EXPECT_EQ(Focused(), Search());
}

TEST_F(ItemsPanelTest, MouseOverTheListShowsItsHelpInPaleYellow) {
  Open(panel::kItems);
  QTest::mouseMove(panel().list()->viewport(), QPoint(10, 10));
  EXPECT_EQ(w().help_line().text(), Q("Κάντε κλικ ή πατήστε F1 για αλφαβητική αναζήτηση - διπλό κλικ για επιλογή"));
  EXPECT_EQ(w().help_line().background(), QColor(255, 255, 224));
}

TEST_F(ItemsPanelTest, FindEmptyItemLoadsTheNextEmptyOneAndBeepsOnItem16000) {
  Open(panel::kItems);
  QTest::mouseClick(panel().button(kItemFindEmpty), Qt::LeftButton);
  EXPECT_EQ(image().state.selected.item, 5);
  EXPECT_EQ(F(kItemNumber).text(), QString("6"));
  EXPECT_EQ(panel().list()->selected_row(), 5);
  EXPECT_EQ(Focused(), &F(kItemNumber));

  Retype(kItemNumber, "16000");
  const int beeps = Beeped();
  QTest::mouseClick(panel().button(kItemFindEmpty), Qt::LeftButton);
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(image().state.selected.item, 15999);
}

// ---- CSV ---------------------------------------------------------------------------------------

class ItemsCsvTest : public ItemsPanelTest {
 protected:
  std::string Read(const QString& path) {
    std::ifstream f(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void Write(const QString& path, const std::string& bytes) {
    std::ofstream f(path.toStdString(), std::ios::binary);
    f << bytes;
  }
};

TEST_F(ItemsCsvTest, OptionsDialogStartsFromItsDefaultsAndAsksForAFile) {
  Open(panel::kItems);
  int result = -1;
  dialogs().on_dialog = [&](QDialog& d) {
    auto& o = dynamic_cast<CsvOptionsDialog&>(d);
    LayOut(o);
    EXPECT_EQ(o.windowTitle(), Q("ΕΙΣΑΓΩΓΗ ΕΙΔΩΝ ΑΠΟ ΑΡΧΕΙΟ CSV"));
    EXPECT_TRUE(o.isModal());
    EXPECT_EQ(o.title_lines()->value(), 1);
    EXPECT_EQ(o.title_lines()->minimum(), 0);
    EXPECT_EQ(o.title_lines()->maximum(), 9);
    EXPECT_TRUE(o.replace()->isChecked());
    EXPECT_FALSE(o.title()->isEnabled()) << "the title is an export's";
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(o.column(i)->isChecked()) << i;
    EXPECT_FALSE(o.column(1)->isEnabled()) << "the name column is always there";
    EXPECT_EQ(o.column(1)->text(), Q("Ονομα"));
    EXPECT_TRUE(o.path_box()->isReadOnly());
    EXPECT_EQ(o.path_box()->text(), QString());

    QTest::mouseClick(o.start(), Qt::LeftButton);  // no file yet
    EXPECT_NE(o.result(), QDialog::Accepted);
    result = QDialog::Rejected;  // then the dialog is closed
    return result;
  };
  QTest::mouseClick(panel().button(kItemImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text, Q("ΕΙΣΑΓΕΤΕ ΑΡΧΕΙΟ !"));
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(TextOf(image().item(0).name()), Greek("ΕΙΔΟΣ 1")) << "cancelled: nothing changed";
  EXPECT_TRUE(KeyboardBackOn(&F(kItemNumber)));
}

TEST_F(ItemsCsvTest, ImportWithReplaceRefillsTheListAndTheNextDialogRemembersTheFile) {
  const QString csv = Path("είδη.csv");
  Write(csv, Greek("ΤΙΤΛΟΣ\r\nΑριθμός;Ονομα;Τιμη;Barcode;Τμήμα;Κατηγορία\r\n"
                   "10;ΚΑΦΕΣ;2,5;#5201234567890;3;4\r\n;ΤΣΑΙ;1.2;;1;1\r\n"));
  image().state.selected.item = 40;
  Open(panel::kItems);
  dialogs().files.push_back(csv);
  dialogs().on_dialog = [&](QDialog& d) {
    auto& o = dynamic_cast<CsvOptionsDialog&>(d);
    LayOut(o);
    QTest::mouseClick(o.browse(), Qt::LeftButton);
    EXPECT_EQ(o.path_box()->text(), csv);
    QTest::keyClick(o.title_lines(), Qt::Key_Up);  // a title and the column headers
    EXPECT_EQ(o.title_lines()->value(), 2);
    QTest::mouseClick(o.start(), Qt::LeftButton);
    return o.result();
  };
  const int beeps = Beeped();
  QTest::mouseClick(panel().button(kItemImport), Qt::LeftButton);

  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(dialogs().files_seen[0].name_filters, QStringList{Q("ΑΡΧΕΙΟ CSV (*.csv)")});
  EXPECT_TRUE(dialogs().boxes.empty());
  EXPECT_EQ(Beeped(), beeps + 1) << "the end of the import";
  EXPECT_TRUE(image().state.modified);
  EXPECT_EQ(TextOf(image().item(9).name()), Greek("ΚΑΦΕΣ"));
  EXPECT_EQ(image().item(9).price(), 250);
  EXPECT_EQ(TextOf(image().item(0).name()), Greek("ΤΣΑΙ")) << "replaced: item 1 was the first empty";
  EXPECT_TRUE(image().item(1).empty());
  EXPECT_TRUE(KeyboardBackOn(&F(kItemNumber)));

  EXPECT_EQ(RowText(9), Q("ΚΑΦΕΣ") + QString(22, ' ') + QString("   10"));
  EXPECT_EQ(RowText(1).left(26), QString(26, ' '));
  EXPECT_EQ(panel().list()->selected_row(), 0);
  EXPECT_EQ(F(kItemName).text(), Q("ΤΣΑΙ"));
  EXPECT_TRUE(panel().list()->isVisible());
  EXPECT_FALSE(panel().wait_text()->isVisible());

  // An export next: the dialog opens on the remembered file.
  QString shown;
  dialogs().on_dialog = [&](QDialog& d) {
    shown = dynamic_cast<CsvOptionsDialog&>(d).path_box()->text();
    return QDialog::Rejected;
  };
  QTest::mouseClick(panel().button(kItemExport), Qt::LeftButton);
  EXPECT_EQ(shown, csv);
}

TEST_F(ItemsCsvTest, ExportWritesTheChosenColumnsUnderTheTitle) {
  StoreText(image().item(2).name(), "A;B");
  Open(panel::kItems);
  const QString csv = Path("out.csv");
  dialogs().files.push_back(csv);
  dialogs().on_dialog = [&](QDialog& d) {
    auto& o = dynamic_cast<CsvOptionsDialog&>(d);
    LayOut(o);
    EXPECT_EQ(o.windowTitle(), Q("ΕΞΑΓΩΓΗ ΕΙΔΩΝ ΣΕ ΑΡΧΕΙΟ CSV"));
    EXPECT_FALSE(o.title_lines()->isEnabled());
    EXPECT_FALSE(o.correct()->isEnabled());
    EXPECT_TRUE(o.title()->isEnabled());
    o.title()->setFocus();
    Type(o.title(), Q("Κατάλογος ж"));  // a letter the file cannot hold is refused
    EXPECT_EQ(o.title()->text(), Q("Κατάλογος "));
    for (const int c : {2, 3, 4, 5}) QTest::mouseClick(o.column(c), Qt::LeftButton);
    QTest::mouseClick(o.browse(), Qt::LeftButton);
    QTest::mouseClick(o.start(), Qt::LeftButton);
    return o.result();
  };
  QTest::mouseClick(panel().button(kItemExport), Qt::LeftButton);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptSave);
  EXPECT_TRUE(dialogs().files_seen[0].confirm_overwrite);
  const std::string text = Read(csv);
  EXPECT_EQ(text.substr(0, text.find("\r\n3;")), Greek("Κατάλογος \r\nΑριθμός;Ονομα\r\n1;ΕΙΔΟΣ 1") +
                                                     std::string(19, ' ') + ";\r\n2;" + Greek("ΕΙΔΟΣ 2") +
                                                     std::string(19, ' ') + ";");
  EXPECT_NE(text.find("\r\n3;\"A;B" + std::string(23, ' ') + "\";\r\n"), std::string::npos);
  EXPECT_FALSE(image().state.modified) << "an export changes nothing";
  EXPECT_TRUE(KeyboardBackOn(&F(kItemNumber)));
  // More than the beep: the status bar names the file.
  EXPECT_EQ(w().notice().text(), Q("Αποθηκεύτηκε το αρχείο out.csv: 5 είδη"));
  EXPECT_TRUE(w().notice().isVisible());
}

// A file with a byte-order mark is refused before any wait: the message
// comes over the panel as it was, its list shown and in its place.
TEST_F(ItemsCsvTest, ByteOrderMarkIsRefusedBeforeTheWaitTextWithThePanelAsItWas) {
  const QString csv = Path("bom.csv");
  Write(csv, "\xEF\xBB\xBFTITLE\r\n1;A;1;;1;1;\r\n");
  Open(panel::kItems);
  const QRect list_before = panel().list()->geometry();
  const QSize panel_before = panel().size();
  dialogs().files.push_back(csv);
  dialogs().on_dialog = [&](QDialog& d) {
    auto& o = dynamic_cast<CsvOptionsDialog&>(d);
    LayOut(o);
    QTest::mouseClick(o.browse(), Qt::LeftButton);
    QTest::mouseClick(o.start(), Qt::LeftButton);
    return o.result();
  };
  bool list_shown = false, wait_shown = true;
  QRect list_at;
  dialogs().on_box = [&](QMessageBox&) {
    list_shown = panel().list()->isVisible();
    wait_shown = panel().wait_text()->isVisible();
    list_at = panel().list()->geometry();
  };
  QTest::mouseClick(panel().button(kItemImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text, Q("Παρακαλώ μετατρέψτε το αρχείο σε απλό κείμενο (ANSI)"));
  EXPECT_TRUE(list_shown);
  EXPECT_FALSE(wait_shown);
  EXPECT_EQ(list_at, list_before);
  EXPECT_EQ(panel().size(), panel_before);
  EXPECT_EQ(panel().list()->model()->rowCount(), kItemCount) << "the list was not emptied";
  EXPECT_EQ(TextOf(image().item(0).name()), Greek("ΕΙΔΟΣ 1"));
  EXPECT_FALSE(image().state.modified);
}

TEST_F(ItemsCsvTest, WaitTextStandsWhereTheListWasWhileTheImportRuns) {
  const QString csv = Path("long.csv");
  Write(csv, "T\r\n" + std::string(250, 'A') + "\r\nOK;\r\n");
  Open(panel::kItems);
  dialogs().files.push_back(csv);
  dialogs().on_dialog = [&](QDialog& d) {
    auto& o = dynamic_cast<CsvOptionsDialog&>(d);
    LayOut(o);
    for (const int c : {0, 2, 3, 4, 5}) o.column(c)->setChecked(false);
    QTest::mouseClick(o.browse(), Qt::LeftButton);
    QTest::mouseClick(o.start(), Qt::LeftButton);
    return o.result();
  };
  bool list_hidden = false, wait_shown = false;
  QFont wait_font;
  QPoint wait_at;
  dialogs().on_box = [&](QMessageBox&) {  // the long-line message, in the middle of the import
    list_hidden = !panel().list()->isVisible();
    wait_shown = panel().wait_text()->isVisible();
    wait_font = panel().wait_text()->font();
    wait_at = panel().wait_text()->pos();
  };
  QTest::mouseClick(panel().button(kItemImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().boxes.size(), 2u);
  EXPECT_TRUE(dialogs().boxes[0].text.startsWith("The line beginning with [AAAAAAAAAAAAAAAAAAAA]"));
  EXPECT_EQ(dialogs().boxes[1].text, Q("Δεν περάστηκε 1 γραμμή του αρχείου:\n1 γραμμή: πολύ μεγάλη γραμμή"));
  EXPECT_TRUE(list_hidden);
  EXPECT_TRUE(wait_shown);
  EXPECT_EQ(panel().wait_text()->text(), Q("ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ..."));
  EXPECT_EQ(wait_font.family(), QString("Courier New"));
  EXPECT_EQ(wait_font.styleHint(), QFont::Monospace);
  const QRect list = panel().list()->geometry();
  EXPECT_EQ(wait_at, QPoint(list.left() + 40, list.top() + list.height() / 2 - 20));
  EXPECT_TRUE(panel().list()->isVisible());
  EXPECT_EQ(TextOf(image().item(0).name()), "OK");
}

}  // namespace
}  // namespace zel::app
