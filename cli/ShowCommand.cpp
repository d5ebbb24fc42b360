#include "cli/ShowCommand.h"

#include <utility>

#include "cli/ShowValues.h"
#include "core/Text.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"
#include "readback/AdmReader.h"
#include "readback/AdmxReader.h"
#include "readback/InputFile.h"
#include "readback/Listing.h"
#include "readback/TemplateText.h"

namespace tarnwick::cli {

namespace {

struct Unreadable {
    std::string why;
};

// The whole file, refused before it is read when it is larger than the readers take.
std::string ReadWhole(const std::string& path) {
    Result<std::string> bytes = readback::ReadInputFile(path);
    if (!bytes) throw Unreadable{bytes.failure().message};
    return std::move(*bytes);
}

// A ReadError, with the file it is about (an ADMX and its ADML are two files).
struct FileError {
    std::string file;
    int line;
    std::string what;
};

template <typename Read>
auto Reading(const std::string& file, Read read) {
    try {
        return read();
    } catch (const readback::ReadError& e) {
        throw FileError{file, e.Line(), e.what()};
    }
}

readback::DriveLists ReadLists(const Options& options, std::string& err) {
    const std::string& path = options.file;
    if (EndsWithNoCase(path, ".admx")) {
        const std::string culture = options.language.value_or("en-US");
        const std::string adml = readback::AdmlPathFor(path, culture);
        auto lists = Reading(path, [&] { return readback::ReadAdmxDriveLists(ReadWhole(path)); });
        if (!fileio::FileExists(adml)) {
            throw Unreadable{"The texts of " + Quoted(path) + " for " + culture + " would be in " +
                             Quoted(adml) + ", which does not exist (--language names the " +
                             "culture)."};
        }
        const auto strings =
            Reading(adml, [&] { return readback::ReadAdmlStrings(ReadWhole(adml)); });
        readback::ResolveTexts(lists, strings);
        return lists;
    }
    if (options.language) err += "tarnwick-cli: --language is for ADMX files; ignored.\n";
    // One copy of the file at a time: the raw bytes go once they are decoded (UTF-8 is used as
    // it is), and the reader keeps views into the text rather than copies of its words.
    const std::string text =
        Reading(path, [&] { return readback::DecodeTemplateText(ReadWhole(path)); });
    return Reading(path, [&] { return readback::ReadAdmDriveLists(text); });
}

}  // namespace

CliResult ShowCommand(const Options& options) {
    // Registry.pol, a policy object's folder, .reg, the Samba JSON and --here list values, not
    // drop-down lists.
    if (ShowsValues(options)) return ShowValues(options);
    const std::string& path = options.file;
    readback::DriveLists lists;
    std::string err;
    try {
        lists = ReadLists(options, err);
    } catch (const Unreadable& e) {
        return {kExitFailed, "", "tarnwick-cli: " + e.why + "\n"};
    } catch (const FileError& e) {
        const std::string where = e.line > 0 ? ", line " + std::to_string(e.line) : "";
        return {kExitFailed, "", "tarnwick-cli: " + e.file + where + ": " + e.what + "\n"};
    }
    for (const auto& note : lists.notes)
        err += "tarnwick-cli: " + path + ", " + note + "\n";
    if (lists.items.empty()) {
        err += "tarnwick-cli: " + path + " has no drop-down list for NoDrives or NoViewOnDrive.\n";
    }
    for (const auto& warning : readback::CheckItems(lists.items)) {
        err += "tarnwick-cli: warning: " + warning + "\n";
    }
    return {kExitDone,
            options.tsv ? readback::FormatTsv(lists.items) : readback::FormatTable(lists.items),
            err};
}

}  // namespace tarnwick::cli
