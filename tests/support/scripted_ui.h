// A UserInterface for tests: records every message, question and dialog,
// and answers from queues the test fills beforehand. An unexpected question
// or dialog is answered No / cancelled and recorded, so a test sees it.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/user_interface.h"

namespace zel::test {

class ScriptedUi : public UserInterface {
 public:
  struct Shown {
    std::string text;
    Icon icon;
    std::string caption;
    bool system_modal;
  };

  void ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool system_modal) override {
    messages.push_back({std::string(text), icon, std::string(caption), system_modal});
  }
  bool AskYesNo(std::string_view text, Icon icon, bool system_modal) override {
    questions.push_back({std::string(text), icon, {}, system_modal});
    if (yes_no.empty()) return false;
    const bool a = yes_no.front();
    yes_no.pop_front();
    return a;
  }
  bool AskRetryCancel(std::string_view text, Icon icon) override {
    questions.push_back({std::string(text), icon, {}, false});
    if (retry_cancel.empty()) return false;
    const bool a = retry_cancel.front();
    retry_cancel.pop_front();
    return a;
  }
  std::optional<std::string> ChooseFile(const FileDialog& dialog) override {
    dialogs.push_back(dialog);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  void SetTitle(std::string_view t) override { title = std::string(t); }
  void Beep(int hz, int ms) override { beeps.push_back({hz, ms}); }
  void SetStatusLine(std::string_view text, long colour) override {
    status_text = std::string(text);
    status_colour = colour;
  }
  void Notify(std::string_view text) override { notices.emplace_back(text); }
  void SetProgressRange(int max) override { progress_max = max; }
  void SetProgress(int position) override { progress.push_back(position); }
  void MarkKind(int kind, Mark mark) override { marks.push_back({kind, mark}); }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> v;
    for (const auto& m : messages) v.push_back(m.text);
    return v;
  }

  // Answers, consumed in order.
  std::deque<bool> yes_no;
  std::deque<bool> retry_cancel;
  std::deque<std::optional<std::string>> files;  // nullopt = Cancel
  // What happened.
  std::vector<Shown> messages;
  std::vector<Shown> questions;
  std::vector<FileDialog> dialogs;
  std::vector<std::pair<int, int>> beeps;
  std::string title;
  std::string status_text;
  long status_colour = -1;
  std::vector<std::string> notices;
  int progress_max = 0;
  std::vector<int> progress;
  std::vector<std::pair<int, Mark>> marks;
};

}  // namespace zel::test
