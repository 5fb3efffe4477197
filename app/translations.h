// Greek for Qt's own texts: the buttons of message boxes and dialogs, the
// file, print, preview and page set-up dialogs and the context menu of text
// fields. Qt ships no Greek translation of these; the program carries its
// own (app/translations/qtbase_el.ts, compiled into the program).
#pragma once

class QCoreApplication;

namespace zel::app {

// Installs the translation on `app` for the rest of its life. False when
// the compiled translation could not be loaded (Qt's English texts stay).
bool InstallQtTranslation(QCoreApplication& app);

}  // namespace zel::app
