// The main window's commands, numbered as the program has always numbered
// them (the numbers also name the actions, "command57600", for tests and
// scripts that look them up).
#pragma once

namespace zel::app {

enum class CommandId : int {
  kNew = 57600,
  kOpen = 57601,
  kSave = 32782,
  kSaveAs = 32783,
  kToolBar = 59392,
  kStatusBar = 59393,
  kPrintSetup = 57606,
  kExit = 57665,
  kLogo = 32787,
  kParameters = 32777,
  kItems = 32772,
  kOtherData = 32773,
  kTransfer = 32776,
  kConsole = 32790,
  kPrint = 57607,
  kPrintPreview = 57609,
  kHelp = 32784,
  kAbout = 57664,
};

}  // namespace zel::app
