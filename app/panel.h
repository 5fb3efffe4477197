// Panels: the editors and tools the main window shows one at a time over its
// client area (1 logo, 2 other data, 3 items, 4 transfer, 5 console,
// 7 parameters).
//
// A panel is created each time it is shown and destroyed when another one
// replaces it, so it always starts from the data image. The main window
// drives its life: create (the factory), show, OnShow, ... OnHide, destroy.
// Around OnHide and OnShow the unsaved-changes flag is put back as it was, so
// what a panel does on showing or hiding never counts as a change.
//
// A panel gets what it works on through its PanelContext: the data image, the
// user interface (messages, questions, help line), the link selection, and the
// main window (SwitchPanel, the help line, the transfer-running flag).
// Everything here is UI thread only.
#pragma once

#include <QFrame>
#include <QString>
#include <QVBoxLayout>
#include <functional>
#include <map>
#include <memory>

#include "core/data_image.h"
#include "link/settings.h"

namespace zel::app {

class MainWindow;
class QtUserInterface;

struct PanelContext {
  DataImage& image;
  QtUserInterface& ui;
  LinkSelection& link;
  MainWindow& frame;
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
  // Before it is destroyed: keep what must outlive it (settings...).
  virtual void OnHide() {}

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

// Until a panel's real widget lands, its number shows this: the caption on an
// empty page of the panel's usual size.
class PlaceholderPanel : public Panel {
  Q_OBJECT
 public:
  PlaceholderPanel(int number, QString caption, const PanelContext& context, QWidget* parent = nullptr);
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
// standard_panels.cpp (a placeholder until its real panel replaces it there).
PanelRegistry StandardPanels();

}  // namespace zel::app
