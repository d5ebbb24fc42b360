// How show takes the files it is handed: nothing above the size limit is read, whichever reader
// it is for, and every template is read in the encoding that make reads it in.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "core/Limits.h"
#include "generate/LineReader.h"
#include "readback/DriveItem.h"
#include "readback/TemplateText.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(InputLimit, AFileAboveItIsRefusedBeforeItIsRead) {
    const std::string admx = test::ReadAll(TARNWICK_SOURCE_DIR "/samples/admx/ExplorerDrives.admx");
    const std::string adml =
        test::ReadAll(TARNWICK_SOURCE_DIR "/samples/admx/en-US/ExplorerDrives.adml");
    const struct {
        const char* reader;
        const char* large;  // the file made one byte too large (sparse: nothing to read in it)
    } cases[] = {
        {"ADM template", "t.adm"},
        {"ADMX", "p.admx"},
        {"ADML", "en-US/p.adml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reader);
        TempDir dir;
        fs::create_directory(test::FsPath(dir.File("en-US")));
        test::WriteAll(dir.File("t.adm"), "");
        test::WriteAll(dir.File("p.admx"), admx);
        test::WriteAll(dir.File("en-US/p.adml"), adml);
        fs::resize_file(test::FsPath(dir.File(c.large)), kMaxInputBytes + 1);
        const std::string shown = std::string(c.large) == "t.adm" ? "t.adm" : "p.admx";
        const cli::CliResult result = cli::RunCli({"show", dir.File(shown)}, "");
        EXPECT_EQ(result.exitCode, cli::kExitFailed);
        EXPECT_NE(result.err.find("\"" + dir.File(c.large) + "\" was not read: it is 64.0 MiB, " +
                                  "more than the 64 MiB that Tarnwick reads."),
                  std::string::npos)
            << result.err;
    }
}

// Markers in the text as show decoded it, and in the bytes as make's line reader takes them.
std::size_t Markers(std::string_view text, std::size_t step) {
    std::size_t count = 0;
    const std::string_view marker = "abcdonly";
    for (std::size_t at = 0; at + step * marker.size() <= text.size(); at += step) {
        bool match = true;
        for (std::size_t k = 0; k < marker.size() && match; ++k) {
            match = (text[at + step * k] | 0x20) == marker[k] &&
                    (step == 1 || text[at + step * k + 1] == 0);
        }
        count += match;
    }
    return count;
}

TEST(TemplateEncoding, ShowReadsEveryTemplateAsMakeDoes) {
    std::vector<std::pair<std::string, std::string>> templates = {
        // Mostly characters whose both bytes are not zero, as in a Chinese template.
        {"BOM-less UTF-16LE with CJK text",
         test::Utf16(u"; " + std::u16string(300, u'\u4E0D') + u"\r\n[strings]\r\nA=\"" +
                     std::u16string(300, u'\u9650') + u"\"\r\nabcdonly\r\nABCDONLY\r\nx\r\n")},
        {"system.adm", test::ReadAll(TARNWICK_SOURCE_DIR "/samples/system.adm")},
    };
    // The fuzz seeds: the splicer's after their 4-byte selection, show's ADM ones after 1 byte.
    for (const auto& [folder, skip] : {std::pair{"fuzz/corpus", 4}, {"fuzz/corpus-adm", 1}}) {
        for (const auto& entry :
             fs::directory_iterator(TARNWICK_SOURCE_DIR "/" + std::string(folder))) {
            const std::string bytes = test::ReadAll(test::Utf8(entry.path()));
            if (bytes.size() < static_cast<std::size_t>(skip) || (skip == 1 && (bytes[0] & 1) != 0))
                continue;
            templates.emplace_back(test::Utf8(entry.path().filename()), bytes.substr(skip));
        }
    }
    TempDir dir;
    for (const auto& [name, bytes] : templates) {
        SCOPED_TRACE(name);
        test::WriteAll(dir.File("t.adm"), bytes);
        LineReader reader;
        fileio::SysError why;
        ASSERT_TRUE(reader.Open(dir.File("t.adm"), why)) << why.text;
        const SourceEncoding make = reader.Encoding();
        reader.Close();
        try {
            const std::string text = DecodeTemplateText(bytes);
            ASSERT_NE(make, SourceEncoding::Utf16BE) << "make refuses what show reads";
            const bool wide = make == SourceEncoding::Utf16LE;
            const std::size_t start = wide && bytes.starts_with("\xFF\xFE") ? 2 : 0;
            EXPECT_EQ(Markers(text, 1),
                      Markers(std::string_view(bytes).substr(start), wide ? 2 : 1));
        } catch (const ReadError& e) {
            EXPECT_EQ(make, SourceEncoding::Utf16BE)
                << "show refuses what make reads: " << e.what();
        }
    }
}

}  // namespace
}  // namespace tarnwick::readback
