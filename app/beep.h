// The program's one signal beep (a refused key, a switch asked for too soon,
// the end of an import...). Every beep of the program goes through Beep, so
// tests can count them.
//
// Thread-safe: a beep asked for off the UI thread is recorded at once and
// sounded on the UI thread. The sound is the desktop's bell; Qt offers no
// tone of a given pitch and length, so hz and ms are only recorded.
#pragma once

namespace zel::app {

void Beep(int hz = 400, int ms = 40);

struct BeepRecord {
  int count = 0;  // beeps since the program started
  int last_hz = 0;
  int last_ms = 0;
};
BeepRecord Beeps();

}  // namespace zel::app
