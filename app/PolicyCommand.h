// "Make ADMX and ADML...": asks for a PolicyDefinitions folder with the system's folder picker,
// then adds the ticked drives, in the chosen mode, to the policy-definition pair there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "command/MakeCommand.h"
#include "core/Result.h"

namespace tarnwick::app {

// The folder the user chose (UTF-8), or `cut` when the picker could not give back the whole path
// that was typed (it is then never used).
struct PickedPath {
    std::string folder;
    bool cut = false;
};

// Asks for a folder, starting at `start` where it exists; nothing when cancelled, a failure when
// the picker could not be made or shown (COM or the shell missing or broken). A path typed or
// pasted into the picker's name box is taken as it is.
Result<std::optional<PickedPath>> PickPolicyFolder(HWND owner, const std::string& start);

// The whole command: the selection check (the same message as Make ADM), the picker, a question
// when the folder is not one the Group Policy editor reads, the writer, and a message box with
// the outcome.
void MakePolicyDefinitions_Click(FormView& view, HWND owner, const std::string& windir);

}  // namespace tarnwick::app
