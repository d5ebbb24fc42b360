// "Export...": the ticked drives, in the chosen mode, saved through the system's Save dialog as a
// .reg file, a Registry.pol, the JSON for samba-tool gpo load, or the two scripts of an Intune
// remediation (in a folder), or preference items with targeting (Registry.xml), chosen by the
// dialog's file type; or, with the dialog's "Remove the restriction" ticked, the file type's way
// back, written by the same functions as tarnwick-cli's --remove. The outcome is told in a message
// box. The values set (or removed) are NoDrives (hide), as tarnwick-cli's default. A Registry.pol
// saved into a policy object's User folder is edited as pol --gpo edits it; one saved as the local
// policy's own (...\GroupPolicy\User\Registry.pol, or a group's or user's under
// GroupPolicyUsers) as pol --local edits it, and Export then offers to apply it now.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "command/MakeCommand.h"
#include "core/DriveSet.h"
#include "core/Result.h"
#include "fileio/FileLock.h"
#include "prefs/RegistryXml.h"

namespace tarnwick::app {

// In the order of the dialog's file types (its type index counts from 1).
enum class ExportKind { Reg = 1, Pol, SambaJson, Intune, Preferences };

struct ExportTarget {
    std::string path;  // UTF-8; for Intune the folder the scripts go into
    ExportKind kind = ExportKind::Reg;
    bool agreed = false;  // the dialog asked whether to replace the file there, and got a Yes
    // Preferences: for whom the items apply (none: every user the policy object reaches). A
    // Registry.xml inside a policy object's User\Preferences\Registry folder is edited with the
    // object's gpt.ini; any other is written or edited alone.
    std::vector<prefs::Target> targets;
    // "Remove the restriction" ticked: the route's way back instead, for the values Export sets;
    // it needs no drives.
    bool remove = false;
};

// What the message box says: the first line what was written, then what to do next; or the
// failure. A write that takes a lock waits for another run through `waiter` (none: in silence).
Result<std::string> WriteExport(const DriveSet& drives, const ExportTarget& target,
                                fileio::Waiter* waiter = nullptr);

void Export_Click(FormView& view, HWND owner);

}  // namespace tarnwick::app
