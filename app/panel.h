// Panels: the editors and tools the main window shows one at a time over its
// client area (1 logo, 2 other data, 3 items, 4 transfer, 5 console,
// 7 parameters).
//
// A panel is created each time it is shown and destroyed when another one
// replaces it, so it always starts from the data image. The window drives
// its life: create (the factory), show, OnShow, ... PrepareToHide, OnHide,
// destroy. Around OnHide and OnShow the unsaved-changes flag is put back as
// it was, so what a panel does on showing or hiding never counts as a change.
//
// A panel gets what it works on through its PanelContext: the workspace
// (data image, link selection, the two sessions, paths, clock) and the
// shell (switching panel, the window's lock, notices, the user interface) —
// never the main window itself.
// Everything here is UI thread only.
#pragma once

#include <QFrame>
#include <QString>
#include <QVBoxLayout>
#include <functional>
#include <map>
#include <memory>

#include "app/shell.h"
#include "core/data_image.h"
#include "link/settings.h"
#include "session/workspace.h"

namespace zel::app {

class QtUserInterface;

struct PanelContext {
  PanelContext(Workspace& w, Shell& s) : workspace(w), shell(s), image(w.image), ui(s.ui()), link(w.link) {}
  Workspace& workspace;
  Shell& shell;
  // Short names for what every panel uses.
  DataImage& image;
  QtUserInterface& ui;
  LinkSelection& link;
};

class Panel : public QFrame {
  Q_OBJECT
 public:
  Panel(int number, QString caption, const PanelContext& context, QWidget* parent = nullptr);

  int number() const { return number_; }
  // The panel's title line, e.g. "Setup ZEL - Εφαρμογή προγραμματισμού ".
  const QString& caption() const { return caption_; }

  // After the panel has been placed and shown: load what it shows.
  virtual void OnShow() {}
  // The window wants the panel gone. True when it may go now. A panel whose
  // work must end first (a job in flight, the console's closing void) sets
  // that going, returns false and emits ReadyToHide once it is done; the
  // window stays locked until then and asks again.
  virtual bool PrepareToHide() { return true; }
  // Before it is destroyed: keep what must outlive it (settings...). Quick:
  // no exchange with the register runs here.
  virtual void OnHide() {}

 signals:
  void ReadyToHide();

 protected:
  const PanelContext& context() const { return context_; }
  // Lays the panel out as its caption (bold, centred, as a dialog's title
  // line) over `body`; returns the panel's layout.
  QVBoxLayout* CaptionOver(QLayout* body);
  DataImage& image() const { return context_.image; }

 private:
  int number_;
  QString caption_;
  PanelContext context_;
};

using PanelFactory = std::function<std::unique_ptr<Panel>(const PanelContext&)>;

// Panel number -> how to build it.
class PanelRegistry {
 public:
  void Register(int number, PanelFactory factory) { factories_[number] = std::move(factory); }
  bool Has(int number) const { return factories_.count(number) != 0; }
  std::unique_ptr<Panel> Create(int number, const PanelContext& context) const;

 private:
  std::map<int, PanelFactory> factories_;
};

// The panel numbers and their captions.
namespace panel {
inline constexpr int kNone = 0;
inline constexpr int kLogo = 1;
inline constexpr int kOtherData = 2;
inline constexpr int kItems = 3;
inline constexpr int kTransfer = 4;
inline constexpr int kConsole = 5;
inline constexpr int kParameters = 7;
}  // namespace panel
QString PanelCaption(int number);

// The program's panels: every number above, each registered in
// standard_panels.cpp.
PanelRegistry StandardPanels();

}  // namespace zel::app
