// The texts that the window and its Make ADM command show in message boxes and captions. Texts
// that the program has always shown stay exactly as they are, spelling included. The texts the
// command line shares with the window are in words/Words.h; Export, the policy pair and the splicer
// compose their own messages where they arise.
#pragma once

#include <string>

#include "words/Words.h"

namespace tarnwick::msg {

inline constexpr const char* kCrLf = "\r\n";

// The application's title: message boxes without a title of their own bear it.
inline constexpr const char* kAppTitle = "Tarnwick";
inline constexpr const char* kWindowCaption = "Tarnwick 1.1";

// Typed into the new-path box, this word shows the acknowledgement instead of making a template.
inline constexpr const char* kAcknowledgementTrigger = "brisk";

// Shown instead of making a template when the trigger word is the new path.
inline constexpr const char* kAcknowledgement =
    "Many thanks to the friend of Tarnwick who helped so patiently with debugging.";

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

// Asked after the store hint (words/Words.h) before the policy files go there.
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
