// How the ladder model talks to the person at the screen: modal messages and questions.
// The window implements it with message boxes; tests script the answers.
#pragma once

#include <string>

namespace ferrolad {

class TLadderUi {
 public:
  virtual ~TLadderUi() = default;
  // A modal message box with a fixed text.
  virtual void ShowMessage(const std::string& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& question) = 0;
  // An OK/Cancel question shown with the error icon; true for OK.
  virtual bool AskOkCancel(const std::string& question) = 0;
  // The model changed; a view repaints. Optional.
  virtual void Repaint() {}
};

// Says nothing and answers every question with No / Cancel: for batch use (CLI, compiler tools).
class TSilentLadderUi : public TLadderUi {
 public:
  void ShowMessage(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
  bool AskOkCancel(const std::string&) override { return false; }
};

}  // namespace ferrolad
