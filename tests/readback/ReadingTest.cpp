// How show takes the files it is handed: nothing above the size limit is read, whichever reader
// it is for, and every template is read in the encoding that make reads it in.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "core/Limits.h"
#include "core/SourceFormat.h"
#include "readback/DriveItem.h"
#include "readback/TemplateText.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

namespace fs = std::filesystem;

TEST(InputLimit, AFileAboveItIsRefusedBeforeItIsRead) {
    // The file one byte too large (sparse: nothing to read in it), and the one shown.
    const std::pair<const char*, const char*> cases[] = {
        {"t.adm", "t.adm"},
        {"ExplorerDrives.admx", "ExplorerDrives.admx"},
        {"en-US/ExplorerDrives.adml", "ExplorerDrives.admx"}};
    for (const auto& [large, shown] : cases) {
        test::TempDir dir;
        fs::copy(TARNWICK_SOURCE_DIR "/samples/admx", test::FsPath(dir.Path()),
                 fs::copy_options::recursive);
        test::WriteAll(dir.File("t.adm"), "");
        const std::string path = test::Utf8(test::FsPath(dir.File(large)).make_preferred());
        fs::resize_file(test::FsPath(path), kMaxInputBytes + 1);
        const cli::CliResult result = cli::RunCli({"show", dir.File(shown)}, "");
        EXPECT_EQ(result.exitCode, cli::kExitFailed);
        EXPECT_NE(result.err.find("\"" + path + "\" was not read: it is 64.0 MiB, " +
                                  "more than the 64 MiB that Tarnwick reads."),
                  std::string::npos)
            << result.err;
    }
}

// "abcdonly" in any case, every `step` bytes (2: as UTF-16LE units).
std::size_t Markers(std::string_view text, std::size_t step) {
    std::size_t count = 0;
    for (std::size_t at = 0; at + 8 * step <= text.size(); at += step) {
        bool match = true;
        for (std::size_t k = 0; k < 8; ++k)
            match = match && (text[at + step * k] | 0x20) == "abcdonly"[k] &&
                    (step == 1 || text[at + step * k + 1] == 0);
        count += match;
    }
    return count;
}

TEST(TemplateEncoding, ShowReadsEveryTemplateAsMakeDoes) {
    // Mostly characters whose two bytes are both not zero, as in a Chinese template.
    std::vector<std::string> templates = {
        test::Utf16(u"; " + std::u16string(300, u'\u4E0D') + u"\r\nabcdonly\r\nABCDONLY\r\n"),
        test::ReadAll(TARNWICK_SOURCE_DIR "/samples/system.adm")};
    // The fuzz seeds: the splicer's after their 4-byte selection, show's ADM ones after 1 byte.
    for (const auto& [folder, skip] : {std::pair{"fuzz/corpus", 4}, {"fuzz/corpus-adm", 1}}) {
        for (const auto& entry :
             fs::directory_iterator(TARNWICK_SOURCE_DIR "/" + std::string(folder))) {
            const std::string bytes = test::ReadAll(test::Utf8(entry.path()));
            if (skip == 4 || (bytes[0] & 1) == 0) templates.push_back(bytes.substr(skip));
        }
    }
    for (const std::string& bytes : templates) {
        const SourceEncoding make =  // what the splicer's line reader decides
            DetectFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())
                .encoding;
        const auto text = DecodeTemplateText(bytes);
        if (!text) {
            EXPECT_EQ(make, SourceEncoding::Utf16BE)
                << "show refuses what make reads: " << text.failure().message;
            continue;
        }
        const bool wide = make == SourceEncoding::Utf16LE;
        const std::string_view raw =
            std::string_view(bytes).substr(wide && bytes.starts_with("\xFF\xFE") ? 2 : 0);
        EXPECT_EQ(Markers(*text, 1), Markers(raw, wide ? 2 : 1));
        EXPECT_NE(make, SourceEncoding::Utf16BE) << "make refuses what show reads";
    }
}

}  // namespace
}  // namespace tarnwick::readback
