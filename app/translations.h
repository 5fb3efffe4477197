// Greek for Qt's own texts: the buttons of message boxes and dialogs, the
// file, print, preview and page set-up dialogs and the context menu of text
// fields. Qt ships no Greek translation of these; the program carries its
// own (app/translations/qtbase_el.ts, compiled into the program). And Greek
// as Qt's default locale, whatever the machine's is (a fresh Debian's is C):
// numbers in Qt's dialogs take the decimal comma ("0,00 mm" in the page
// set-up), months and file types are Greek.
#pragma once

class QCoreApplication;

namespace zel::app {

// Installs the translation on `app` for the rest of its life. False when
// the compiled translation could not be loaded (Qt's English texts stay).
bool InstallQtTranslation(QCoreApplication& app);
// Makes Greek (Greece) the default locale of every QLocale() and widget.
void UseGreekLocale();

}  // namespace zel::app
