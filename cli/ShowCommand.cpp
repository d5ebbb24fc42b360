#include "cli/ShowCommand.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/DriveSet.h"
#include "core/Limits.h"
#include "core/Result.h"
#include "core/Text.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"
#include "readback/AdmReader.h"
#include "readback/AdmxReader.h"
#include "readback/DeployedValues.h"
#include "readback/InputFile.h"
#include "readback/Listing.h"
#include "readback/TemplateText.h"

namespace tarnwick::cli {

namespace {

// A reader's refusal, naming the file it is about (an ADMX and its ADML are two files).
Failure InFile(const std::string& path, const readback::ReadFailure& failure) {
    const std::string where = failure.line > 0 ? ", line " + std::to_string(failure.line) : "";
    return Failure{path + where + ": " + failure.message};
}

// The ADMX or ADML file at `path`, whole (refused before it is read when it is larger than the
// readers take), as `reader` reads it.
template <typename T>
Result<T> ReadXmlFile(const std::string& path,
                      Result<T, readback::ReadFailure> (*reader)(std::string_view, std::uint64_t)) {
    const Result<std::string> bytes = readback::ReadInputFile(path);
    if (!bytes) return bytes.failure();
    auto read = reader(*bytes, kMaxInputBytes);
    if (!read) return InFile(path, read.failure());
    return std::move(*read);
}

Result<readback::DriveLists> ReadAdmx(const Options& options) {
    const std::string& path = options.file;
    const std::string culture = options.language.value_or("en-US");
    const std::string adml = readback::AdmlPathFor(path, culture);
    auto lists = ReadXmlFile(path, readback::ReadAdmxDriveLists);
    if (!lists) return lists;
    if (!fileio::FileExists(adml)) {
        return Failure{"The texts of " + Quoted(path) + " for " + culture + " would be in " +
                       Quoted(adml) + ", which does not exist (--language names the culture)."};
    }
    const auto strings = ReadXmlFile(adml, readback::ReadAdmlStrings);
    if (!strings) return strings.failure();
    readback::ResolveTexts(*lists, *strings);
    return lists;
}

Result<readback::DriveLists> ReadAdm(const Options& options, std::string& err) {
    const std::string& path = options.file;
    if (options.language) err += "tarnwick-cli: --language is for ADMX files; ignored.\n";
    Result<std::string> bytes = readback::ReadInputFile(path);
    if (!bytes) return bytes.failure();
    // One copy of the file at a time: the raw bytes go once they are decoded (UTF-8 is used as
    // it is), and the reader keeps views into the text rather than copies of its words.
    const auto text = readback::DecodeTemplateText(std::move(*bytes));
    if (!text) return InFile(path, text.failure());
    auto lists = readback::ReadAdmDriveLists(*text);
    if (!lists) return InFile(path, lists.failure());
    return std::move(*lists);
}

// Registry.pol, a policy object's folder, .reg, the Samba JSON, Registry.xml and --here: their
// values, the notes and warnings they call for on standard error.
CliResult ShowValues(const Options& options) {
    auto listing =
        options.here ? readback::ReadValuesHere() : readback::ReadDeployedValues(options.file);
    if (!listing) return {kExitFailed, "", "tarnwick-cli: " + listing.failure().message + "\n"};
    std::string err;
    if (options.language) err += "tarnwick-cli: --language is for ADMX files; ignored.\n";
    if (listing->values.empty() && !options.here) {
        err += "tarnwick-cli: " + options.file + " sets neither NoDrives nor NoViewOnDrive.\n";
    }
    for (const auto& v : listing->values) {
        if (!v.note.empty()) {
            err += "tarnwick-cli: note: " + v.valueName + " (" + v.where + ") " + v.note + ".\n";
        }
        if (v.mask && (*v.mask & ~kAllDrivesMask) != 0) {
            err += "tarnwick-cli: warning: " + v.valueName + " " + std::to_string(*v.mask) + " (" +
                   v.where + ") has bits above Z, which no drive letter stands for.\n";
        }
    }
    std::string out = listing->values.empty() && !options.tsv
                          ? std::string()
                          : readback::FormatValues(listing->values, options.tsv);
    if (!options.tsv) out += listing->after;
    return {kExitDone, out, err};
}

}  // namespace

CliResult ShowLocal(const Options& options, const std::string& windir) {
    const auto local = readback::ReadLocalValues(windir);
    if (!local) return {kExitFailed, "", "tarnwick-cli: " + local.failure().message + "\n"};
    if (!local->none.empty()) return {kExitDone, local->none + "\n", ""};
    std::string err;
    for (const std::string& unread : local->unread)
        err += "tarnwick-cli: " + unread + "\n";
    std::string out = readback::FormatValues(local->listing.values, options.tsv);
    if (!options.tsv) out += local->listing.after;
    return {kExitDone, out, err};
}

CliResult ShowCommand(const Options& options) {
    // Registry.pol, a policy object's folder, .reg, the Samba JSON and --here list values, not
    // drop-down lists.
    if (options.here || readback::ListsValues(options.file)) return ShowValues(options);
    const std::string& path = options.file;
    std::string err;
    const Result<readback::DriveLists> read =
        EndsWithNoCase(path, ".admx") ? ReadAdmx(options) : ReadAdm(options, err);
    if (!read) return {kExitFailed, "", "tarnwick-cli: " + read.failure().message + "\n"};
    const readback::DriveLists& lists = *read;
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
