// The items panel in the real window (Qt, offscreen), on a table of 16000
// named items, against the plain work of formatting the same 16000 rows as
// strings (what any list that held its rows would have to do first):
//   - switching to the items panel: the panel built, its list ready, the
//     selected item shown in the fields and the whole panel painted once;
//   - one search keystroke that no name continues (the worst case: a pass
//     over every name, the beep, the letter dropped), typed into the search
//     entry as a key event, and the panel painted again.
//
// Bars: a dealer must never wait for either. A reply within about 100 ms
// reads as immediate, and keys repeat about every 30 ms. Formatting 16000
// rows takes about 2 ms here; a dealer's PC may well be five times slower.
//   - switch, 8 x: 16 ms here, under 100 ms on a PC five times slower. The
//     panel's own widgets take most of it; rows are built only for the few
//     rows in view. (For scale: a list widget filled with 16000 items of its
//     own costs about 4 x on its own, so such a list would put the switch
//     at the bar.)
//   - keystroke, 1 x: 2 ms here, 10 ms on the slow PC, inside one key repeat.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "app/items_panel.h"
#include "app/main_window.h"
#include "core/data_image.h"
#include "ratio.h"

namespace {

using namespace zel;

std::string ItemName(int i) { return "ITEM NUMBER " + std::to_string(i + 1) + " KG"; }

void NameAll(DataImage& image) {
  for (int i = 0; i < kItemCount; ++i) {
    Item it = image.item(i);
    StoreText(it.name(), ItemName(i));
    it.set_price(100 + i);
  }
}

// The program's window, shown, with every item named, on a clock the
// benchmark moves so panel switches are never refused.
class Window {
 public:
  Window() {
    window_.SetClock([this] { return now_; });
    app::StartOptions o;
    o.lock_path = dir_.filePath(QStringLiteral("koko"));
    o.settings_path = dir_.filePath(QStringLiteral("OV_Setup.cfg"));
    if (!window_.StartUp(o)) std::fprintf(stderr, "panel_bench: the window did not start\n");
    NameAll(window_.image());
    window_.image().state.selected.item = 8000;
    window_.show();
    if (!QTest::qWaitForWindowExposed(&window_)) std::fprintf(stderr, "panel_bench: the window is not shown\n");
  }
  bool Switch(int panel) {
    now_ += std::chrono::seconds(2);
    const bool done = window_.SwitchPanel(panel);
    // The replaced panel goes at the next turn of the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return done;
  }
  app::MainWindow& window() { return window_; }

 private:
  QTemporaryDir dir_;
  std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  app::QtUserInterface ui_;
  Workspace workspace_{ui_};
  app::MainWindow window_{workspace_, ui_};
};

// Made in main, after the application object and gone before it.
Window* the_window = nullptr;
Window& TheWindow() { return *the_window; }

void BM_SwitchToItems(benchmark::State& state) {
  Window& w = TheWindow();
  for (auto _ : state) {
    state.PauseTiming();
    w.Switch(app::panel::kNone);
    state.ResumeTiming();
    if (!w.Switch(app::panel::kItems)) state.SkipWithError("switch refused");
    auto* panel = qobject_cast<app::ItemsPanel*>(w.window().active_panel());
    if (panel == nullptr || panel->list()->model()->rowCount() != kItemCount || panel->list()->selected_row() != 8000) {
      state.SkipWithError("items panel not ready");
      break;
    }
    panel->repaint();
  }
  w.Switch(app::panel::kNone);
}

void BM_SearchKeystroke(benchmark::State& state) {
  Window& w = TheWindow();
  w.Switch(app::panel::kItems);
  auto* panel = qobject_cast<app::ItemsPanel*>(w.window().active_panel());
  if (panel == nullptr) {
    state.SkipWithError("no items panel");
    return;
  }
  panel->search()->setFocus();
  QTest::keyClick(panel->search(), 'I');  // every name starts so: the next letter is judged against them all
  for (auto _ : state) {
    QTest::keyClick(panel->search(), 'Q');  // no name continues: a full pass, the beep, the letter dropped
    panel->repaint();
  }
  if (panel->model().prefix() != "I") state.SkipWithError("the search did not run");
  w.Switch(app::panel::kNone);
}

void BM_PlainRows(benchmark::State& state) {
  std::vector<std::string> names;
  for (int i = 0; i < kItemCount; ++i) names.push_back(ItemName(i));
  std::vector<std::string> rows(kItemCount);
  char row[33];
  for (auto _ : state) {
    for (int i = 0; i < kItemCount; ++i) {
      std::snprintf(row, sizeof row, "%-26.26s %5d", names[static_cast<std::size_t>(i)].c_str(), i + 1);
      rows[static_cast<std::size_t>(i)] = row;
    }
    benchmark::DoNotOptimize(rows.data());
  }
}

BENCHMARK(BM_SwitchToItems)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_PlainRows)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Window window;
  the_window = &window;
  return zel::bench::RatioMain(
      argc, argv, {{"BM_SwitchToItems", "BM_PlainRows", 8.0}, {"BM_SearchKeystroke", "BM_PlainRows", 1.0}});
}
