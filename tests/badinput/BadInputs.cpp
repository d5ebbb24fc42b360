#include "tests/badinput/BadInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "tests/badinput/Host.h"
#include "tests/support/LayoutModel.h"

namespace tarnwick::badinput {
namespace {

namespace fs = std::filesystem;
using test::FsPath;
using test::TempDir;
using test::Utf16;
using test::Utf8;

const std::vector<std::string> kMarkerCauses = {"abcdonly", "marker"};
const std::vector<std::string> kFolderCauses = {"folder", "director", "access", "denied"};
const std::vector<std::string> kMissingCauses = {"no such", "not exist", "cannot find",
                                                 "not found"};
const std::vector<std::string> kReadOnlyCauses = {"read-only", "permission", "access", "denied"};
const std::vector<std::string> kHeldCauses = {"another process", "being used", "sharing", "access",
                                              "denied"};
constexpr const char* kOldOutput = "an earlier new template, to be kept\r\n";

std::string Join(const std::string& folder, const std::string& name) {
    return Utf8(FsPath(folder) / FsPath(name));
}

std::string Sample() {
    return test::ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm");
}

// A source of `bytes` named source.adm, and an output path that names nothing yet.
Scene SourceOf(const TempDir& dir, const std::string& bytes) {
    Scene scene{dir.File("source.adm"), dir.File("source_TRNW.adm")};
    test::WriteAll(scene.source, bytes);
    return scene;
}

std::string Noise() {
    std::mt19937 random(20240607u);
    std::string bytes(4096, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    bytes[0] = 'N';  // no byte-order mark by chance
    return bytes;
}

// An output path of exactly `length` characters, in folders made for it under `dir`.
std::string PathOfLength(const TempDir& dir, std::size_t length) {
    const std::string name = "new_TRNW.adm";
    const char separator = static_cast<char>(fs::path::preferred_separator);
    std::string folder = dir.Path();
    // Each folder adds its name and one separator; names stay well under any system's limit.
    while (folder.size() + 1 + name.size() < length) {
        std::size_t room = length - (folder.size() + 1 + name.size()) - 1;
        if (room > 100) room = std::min<std::size_t>(100, room - 2);
        folder += separator + std::string(room, 'd');
    }
    fs::create_directories(FsPath(folder));
    return folder + separator + name;
}

Scene SampleAndOldOutput(const TempDir& dir) {
    Scene scene = SourceOf(dir, Sample());
    test::WriteAll(scene.output, kOldOutput);
    return scene;
}

Guard MakeReadOnly(const Scene& scene) {
    const fs::path output = FsPath(scene.output);
    fs::permissions(output,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    return Guard(nullptr, [output](void*) {
        std::error_code ignored;
        fs::permissions(output, fs::perms::owner_write, fs::perm_options::add, ignored);
    });
}

std::vector<BadInput> MakeBadInputs() {
    const std::string wideMarkers = Utf16("abcdonly\r\nABCDOnly\r\nabcdonly\r\n");
    std::vector<BadInput> cases = {
        {"EmptySource", Expect::Refused, Names::Source, kMarkerCauses,
         [](const TempDir& dir) { return SourceOf(dir, ""); }},
        {"FolderAsSource", Expect::Refused, Names::Source, kFolderCauses,
         [](const TempDir& dir) {
             Scene scene{dir.File("folder.adm"), dir.File("new.adm")};
             fs::create_directory(FsPath(scene.source));
             return scene;
         }},
        {"FolderAsOutput", Expect::Refused, Names::Output, kFolderCauses,
         [](const TempDir& dir) {
             Scene scene = SourceOf(dir, Sample());
             fs::create_directory(FsPath(scene.output));
             test::WriteAll(Join(scene.output, "keep.txt"), kOldOutput);
             return scene;
         }},
        {"OneByteSource", Expect::Refused, Names::Source, kMarkerCauses,
         [](const TempDir& dir) { return SourceOf(dir, "a"); }},
        {"RandomNoise", Expect::Refused, Names::Source, kMarkerCauses,
         [](const TempDir& dir) { return SourceOf(dir, Noise()); }},
        {"Utf16OfOddLength",
         Expect::Created,
         Names::Output,
         {},
         [wideMarkers](const TempDir& dir) {
             return SourceOf(dir, "\xFF\xFE" + wideMarkers + Utf16("[strings]") + "x");
         }},
        {"MarkerLinesOnly",
         Expect::Created,
         Names::Output,
         {},
         [wideMarkers](const TempDir& dir) { return SourceOf(dir, wideMarkers); }},
        // Where the encoding or the line ends hide the markers, the message says so.
        {"NoLineEndAtAll",
         Expect::Refused,
         Names::Source,
         {"no line end"},
         [](const TempDir& dir) {
             return SourceOf(dir, "\xFF\xFE" + Utf16("abcdonly ABCDOnly abcdonly"));
         }},
        {"EightBitTextAfterAUtf16Mark",
         Expect::Refused,
         Names::Source,
         {"8-bit"},
         [](const TempDir& dir) {
             return SourceOf(dir,
                             "\xFF\xFE"
                             "abcdonly\r\nabcdonly\r\nabcdonly\r\n");
         }},
        {"Utf16TextAfterAUtf8Mark",
         Expect::Refused,
         Names::Source,
         {"as UTF-16LE"},
         [wideMarkers](const TempDir& dir) { return SourceOf(dir, "\xEF\xBB\xBF" + wideMarkers); }},
        {"MostLinesEndInLfAlone",
         Expect::Refused,
         Names::Source,
         {"LF alone"},
         [](const TempDir& dir) {
             return SourceOf(dir, "\xFF\xFE" + Utf16("abcdonly\r\nabcdonly\nabcdonly\n"));
         }},
        {"StrayByteBeforeTheMarkers",
         Expect::Refused,
         Names::Source,
         {"one byte off"},
         [](const TempDir& dir) {
             return SourceOf(
                 dir, "\xFF\xFE" + Utf16("abcdonly\r\nabcdonly\r\n") + "x" + Utf16("abcdonly\r\n"));
         }},
        {"Utf16WithLfLineEnds",
         Expect::Created,
         Names::Output,
         {},
         [](const TempDir& dir) {
             return SourceOf(dir, Utf16("abcdonly\nABCDOnly\nabcdonly\n[strings]\n"));
         }},
        {"LocalisedUtf16WithoutMark",
         Expect::Created,
         Names::Output,
         {},
         [wideMarkers](const TempDir& dir) {
             return SourceOf(dir, Utf16(u"; 不要修改 / Neměnit č\r\n") + wideMarkers);
         }},
        {"ReadOnlyOutput", Expect::Refused, Names::Output, kReadOnlyCauses, SampleAndOldOutput,
         MakeReadOnly},
        {"OutputFolderMissing", Expect::Refused, Names::Output, kMissingCauses,
         [](const TempDir& dir) {
             Scene scene = SourceOf(dir, Sample());
             scene.output = Join(dir.Path(), Join("no such folder", "new.adm"));
             return scene;
         }},
        {"OutputPathOf300Characters",
         Expect::Created,
         Names::Output,
         {},
         [](const TempDir& dir) {
             Scene scene = SourceOf(dir, Sample());
             scene.output = PathOfLength(dir, 300);
             return scene;
         }},
        {"NonAsciiPaths",
         Expect::Created,
         Names::Output,
         {},
         [](const TempDir& dir) {
             const std::string folder = dir.File("é ü 漢字");
             fs::create_directory(FsPath(folder));
             Scene scene{Join(folder, "système ü.adm"), Join(folder, "漢字 é_TRNW.adm")};
             test::WriteAll(scene.source, Sample());
             return scene;
         }},
        {"OutputHeldOpenWithoutSharing", Expect::Refused, Names::Output, kHeldCauses,
         SampleAndOldOutput, [](const Scene& scene) { return HoldWithoutSharing(scene.output); },
         [] {
             return fs::path::preferred_separator == '/'
                        ? std::string("only Windows keeps other openers out")
                        : std::string();
         }},
    };
    return cases;
}

}  // namespace

const std::vector<BadInput>& AllBadInputs() {
    static const std::vector<BadInput> cases = MakeBadInputs();
    return cases;
}

void PrintTo(const BadInput& input, std::ostream* out) {
    *out << input.name;
}

bool HoldsWord(const std::string& text, const std::string& word) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

bool HoldsAnyOf(const std::string& text, const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const std::string& word) { return HoldsWord(text, word); });
}

PathState Capture(const std::string& path) {
    PathState state;
    const fs::path at = FsPath(path);
    std::error_code error;
    if (fs::is_directory(at, error)) {
        state.kind = PathState::Folder;
        for (const auto& entry : fs::directory_iterator(at)) {
            state.entries.insert(Utf8(entry.path().filename()));
        }
    } else if (fs::exists(at, error)) {
        state.kind = PathState::File;
        state.bytes = test::ReadAll(path);
    }
    return state;
}

Snapshot::Snapshot(const Scene& scene)
    : scene_(scene),
      source_(Capture(scene.source)),
      output_(Capture(scene.output)),
      outputFolder_(Utf8(FsPath(scene.output).parent_path())),
      outputFolderState_(Capture(outputFolder_)) {}

void Snapshot::ExpectNothingLost(const std::string* created) const {
    EXPECT_TRUE(Capture(scene_.source) == source_) << "the source changed: " << scene_.source;
    PathState folderNow = Capture(outputFolder_);
    if (created != nullptr) {
        const PathState output = Capture(scene_.output);
        EXPECT_EQ(output.kind, PathState::File);
        EXPECT_TRUE(output.bytes == *created) << "the new template is not the expected layout";
        folderNow.entries.erase(Utf8(FsPath(scene_.output).filename()));
        PathState folderBefore = outputFolderState_;
        folderBefore.entries.erase(Utf8(FsPath(scene_.output).filename()));
        EXPECT_TRUE(folderNow == folderBefore) << "a temporary file remains in " << outputFolder_;
    } else {
        EXPECT_TRUE(Capture(scene_.output) == output_)
            << "what was at the output path changed: " << scene_.output;
        EXPECT_TRUE(folderNow == outputFolderState_)
            << "a temporary file remains in " << outputFolder_;
    }
}

void ExpectClearRefusal(const std::string& message, const BadInput& input, const Scene& scene) {
    const std::string& named = input.names == Names::Source ? scene.source : scene.output;
    EXPECT_TRUE(HoldsWord(message, named)) << "the message does not name " << named << ":\n"
                                           << message;
    EXPECT_TRUE(HoldsAnyOf(message, input.causes)) << "no cause in:\n" << message;
    EXPECT_EQ(message.find(".."), std::string::npos) << "a doubled full stop in:\n" << message;
}

std::string ExpectedTemplate(const Scene& scene) {
    const model::ModelOutcome outcome =
        model::ModelGenerate(test::ReadAll(scene.source), model::ModelSelection{1u << 2, false});
    EXPECT_TRUE(outcome.ok()) << "the case's source must make a template";
    return outcome.bytes;
}

}  // namespace tarnwick::badinput
