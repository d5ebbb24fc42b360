// Every text that Tarnwick shows in a message box or a window caption, in one place. Texts that
// the program has always shown stay exactly as they are, spelling included.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "Version.h"

namespace tarnwick::msg {

inline constexpr const char* kCrLf = "\r\n";

// The application's title: message boxes without a title of their own bear it.
inline constexpr const char* kAppTitle = "Tarnwick";
inline constexpr const char* kWindowCaption = "Tarnwick 1.1";
inline constexpr const char* kVersion = TARNWICK_VERSION;

// Typed into the new-path box, this word shows the acknowledgement instead of making a template.
inline constexpr const char* kAcknowledgementTrigger = "brisk";

// Shown instead of making a template when the trigger word is the new path.
inline constexpr const char* kAcknowledgement =
    "Many thanks to the friend of Tarnwick who helped so patiently with debugging.";

// Nothing ticked.
inline constexpr const char* kSelectDrives = "Please select one or more drives.";

// The source path names nothing.
inline std::string SourceNotFound(const std::string& sourcePath) {
    return "Default ADM file '" + sourcePath + "' not found." + kCrLf +
           "Please specify a valid path to default adm (system.adm)";
}

// The source path names a folder: the cause stands where "not found" stands.
inline std::string SourceIsFolder(const std::string& sourcePath) {
    return "Default ADM file '" + sourcePath + "' is a folder, not a file." + kCrLf +
           "Please specify a valid path to default adm (system.adm)";
}

// The new path is the source.
inline constexpr const char* kDifferentFile = "Please specify a different ADM file.";

// Something exists at the new path.
inline std::string OverwritePrompt(const std::string& newPath) {
    return "'" + newPath + "' already exists. Overwrite?";
}

// The new path names a folder: refused where the overwrite prompt would ask, since no answer
// could let a template take a folder's place.
inline std::string NewPathIsFolder(const std::string& newPath) {
    return "'" + newPath + "' is a folder, not a file." + kCrLf +
           "Please specify a different ADM file.";
}

// The new template is complete. The second line states what is true: the source is only read.
inline std::string CreatedSuccessfully(const std::string& newPath) {
    return "'" + newPath + "' was created succesfully" + kCrLf + "The source file was not changed.";
}

// Generation failed without a reason of its own.
inline constexpr const char* kUnspecifiedError = "Unspecified error!.";

// The source template could not be opened for reading.
inline std::string ErrorOpening(const std::string& sourcePath, const std::string& reason) {
    return "ERROR openning " + sourcePath + "." + kCrLf + reason;
}

// The Group Policy editor could not be started.
inline std::string SnapInLaunchFailed(const std::string& commandLine, const std::string& reason) {
    return std::string("The Group Policy editor could not be started.") + kCrLf + kCrLf +
           "Command: " + commandLine + kCrLf + "Reason: " + reason;
}

// The Group Policy editor reads ADMX files from a folder named PolicyDefinitions only (the
// local store or a domain's central store), and each ADML from the culture folder beneath it
// (en-US). True when `folder` (Windows or POSIX separators) is named so, in any letter case.
inline bool IsPolicyStore(std::string_view folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.remove_suffix(1);
    const std::size_t slash = folder.find_last_of("\\/");
    const std::string_view name =
        slash == std::string_view::npos ? folder : folder.substr(slash + 1);
    constexpr std::string_view kStore = "PolicyDefinitions";
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::equal(name.begin(), name.end(), kStore.begin(), kStore.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// Said when the policy files go to a folder that is not a PolicyDefinitions folder.
inline std::string StoreHint(const std::string& folder) {
    return "'" + folder + "' is not a PolicyDefinitions folder, so the Group Policy editor will " +
           "not read the files written there. It reads them from the local store, " +
           "%windir%\\PolicyDefinitions, or from the central store, " +
           "\\\\<domain>\\SYSVOL\\<domain>\\Policies\\PolicyDefinitions.";
}

inline constexpr const char* kWriteThereAnyway = "Write the files there anyway?";

// The folder picker gave back a path cut short of the one typed.
inline constexpr const char* kPickedPathCut =
    "The folder picker could not give back the whole path that was typed (it is longer than 259 "
    "characters), so nothing was written. Choose a folder with a shorter path, or give the path to "
    "tarnwick-cli admx --dir.";

// The scrolling credit line; it must fit the label (2610 twips in Arial 8.25).
inline constexpr const char* kCreditLine = "Tarnwick: any set of drives";

inline constexpr const char* kAboutTitle = "About Tarnwick";
inline std::string AboutText() {
    return std::string("Tarnwick ") + kVersion + kCrLf + kCrLf +
           "Writes a copy of the system's administrative template (system.adm) whose two drive "
           "policies offer any set of drives from A to Z that you tick." +
           kCrLf + kCrLf + "Copyright (c) 2026 the Tarnwick developers";
}

inline constexpr const char* kLegalTitle = "Tarnwick - Legal Info";
inline std::string LegalText() {
    return std::string("Tarnwick ") + kVersion + kCrLf +
           "Copyright (c) 2026 the Tarnwick developers" + kCrLf + kCrLf +
           "Tarnwick is free software under the MIT License:" + kCrLf + kCrLf +
           "Permission is hereby granted, free of charge, to any person obtaining a copy of this "
           "software and associated documentation files (the \"Software\"), to deal in the "
           "Software without restriction, including without limitation the rights to use, copy, "
           "modify, merge, publish, distribute, sublicense, and/or sell copies of the Software, "
           "and to permit persons to whom the Software is furnished to do so, subject to the "
           "following conditions:" +
           kCrLf + kCrLf +
           "The above copyright notice and this permission notice shall be included in all "
           "copies or substantial portions of the Software." +
           kCrLf + kCrLf +
           "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR "
           "IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR "
           "A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT "
           "HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF "
           "CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE "
           "OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.";
}

}  // namespace tarnwick::msg
