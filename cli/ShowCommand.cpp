#include "cli/ShowCommand.h"

#include "cli/ShowValues.h"

#include <cstdint>
#include <stdexcept>

#include "fileio/mdlAPIFiles.h"
#include "readback/AdmReader.h"
#include "readback/AdmxReader.h"
#include "readback/Listing.h"
#include "readback/TemplateText.h"

namespace tarnwick::cli {

namespace {

struct Unreadable {
    std::string why;
};

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// The whole file; an empty file gives no bytes.
std::string ReadWhole(const std::string& path) {
    std::uint32_t attributes = 0;
    if (!fileio::CurrentPlatform().Attributes(path, attributes)) {
        throw Unreadable{Quoted(path) + " does not exist."};
    }
    if ((attributes & fileio::kAttrDirectory) != 0) {
        throw Unreadable{Quoted(path) + " is a folder, not a template."};
    }
    fileio::ByteArray bytes;
    std::int32_t count = 0;
    std::int32_t end = 0;
    fileio::SysError why;
    int status = fileio::kReadDone;
    try {
        status = fileio::ReadFileBytes(path, bytes, count, 0, end, &why);
    } catch (const std::out_of_range&) {
        return {};  // an empty file: nothing to read
    } catch (const std::overflow_error&) {
        throw Unreadable{Quoted(path) + " is too large (2 GiB or more) for a template."};
    }
    if (status != fileio::kReadDone) {
        throw Unreadable{Quoted(path) + " cannot be read" +
                         (why.text.empty() ? "." : ": " + why.text)};
    }
    return std::string(bytes.begin(), bytes.begin() + end);  // the array ends in one extra zero
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
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
    return Reading(path, [&] {
        return readback::ReadAdmDriveLists(readback::DecodeTemplateText(ReadWhole(path)));
    });
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
