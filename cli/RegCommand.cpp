#include "cli/RegCommand.h"

#include <cstdint>

#include "cli/DriveSelection.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "regfile/RegFile.h"

namespace tarnwick::cli {

namespace {

CliResult Refused(const std::string& why) {
    return {kExitFailed, "", "tarnwick-cli: " + why + "\n"};
}

std::string Because(const fileio::SysError& error) {
    if (error.text.empty()) return ".";
    return ": " + error.text + (error.text.back() == '.' ? "" : ".");
}

// As `make` does: a folder is never replaced, a file only with --force, and the file is written
// beside its path first, so that only a complete file replaces what was there.
CliResult WriteRegFile(const std::string& path, const std::string& text, bool force) {
    if (fileio::FileExists(path)) {
        std::uint32_t attributes = 0;
        if (fileio::CurrentPlatform().Attributes(path, attributes) &&
            (attributes & fileio::kAttrDirectory) != 0) {
            return Refused("The output \"" + path + "\" is a folder. Nothing was written.");
        }
        if (!force) {
            return Refused("The output \"" + path +
                           "\" already exists; use --force to replace it. Nothing was written.");
        }
    }
    const std::string bytes = regfile::RegFileBytes(text);
    fileio::ByteArray array(bytes.begin(), bytes.end());
    array.push_back(0);  // the helper writes every element but the last
    const std::string temp = fileio::TempPathBeside(path);
    fileio::SysError why;
    const int status = fileio::WriteFileBytes(array, temp, 0, false, &why);
    if (status != fileio::kWriteDone || !fileio::ReplaceFile(temp, path, &why)) {
        if (status != fileio::kWriteExistsNoOverwrite) fileio::RemoveFile(temp);
        return Refused("Writing \"" + path + "\" failed" + Because(why) + " Nothing was written.");
    }
    return {kExitDone, "Created: " + path + "\n", ""};
}

}  // namespace

CliResult RegCommand(const Options& options) {
    const DriveSelection selection(options.drives, options.allBut);
    const auto mask = static_cast<std::uint32_t>(GetDriveMask(selection));
    const bool hide = options.policy != RegPolicy::Prevent;
    const bool prevent = options.policy != RegPolicy::Hide;
    const std::string text = regfile::RegText(mask, hide, prevent);
    if (!options.output) return {kExitDone, text, ""};
    return WriteRegFile(*options.output, text, options.force);
}

}  // namespace tarnwick::cli
