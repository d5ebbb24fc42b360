// The "Make ADM" command: checks the inputs, asks before replacing a file, generates, reports.
#pragma once

#include <string>

#include "core/Selection.h"
#include "generate/FormState.h"

namespace tarnwick {

// Message box styles and answers.
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbCritical = 16;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The window as the command sees it.
class FormView : public Selection {
  public:
    virtual std::string SourceText() const = 0;  // txtSourceADM.Text
    virtual std::string NewText() const = 0;     // txtNewADM.Text
    // A modal message box; an empty title means the application's title, "Tarnwick".
    virtual int MsgBox(const std::string& text, int style, const std::string& title) = 0;
    virtual void Beep() = 0;
};

void Command1_Click(FormView& view, FormState& state);

}  // namespace tarnwick
