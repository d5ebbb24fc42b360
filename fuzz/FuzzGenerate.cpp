// libFuzzer target over the line reader and the splicer. The input is a selection (4 bytes,
// little-endian: bits 0-25 the ticked drives A-Z, bit 26 the all-but mode, bit 27 an existing
// file at the new path, bits 28-31 the line reader's block size) followed by the source bytes.
// Every run checks that
//   - the line reader, with blocks small enough for lines and markers to straddle them, hands
//     out the whole source in order and finds the marker lines where the independent model does,
//   - success means the new path holds exactly the layout of the model,
//   - failure means the model also refuses, the new path holds nothing or its old content, and
//   - the source is unchanged and the folder holds no temporary file either way.
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include "core/Selection.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "generate/LineReader.h"
#include "tests/support/LayoutModel.h"

namespace {

namespace fs = std::filesystem;
using tarnwick::model::ModelOutcome;
using tarnwick::model::ModelSelection;

constexpr std::string_view kOldContent = "an earlier template that must survive a failure\r\n";

class FuzzSelection : public tarnwick::Selection {
  public:
    explicit FuzzSelection(const ModelSelection& selection) : selection_(selection) {}
    std::int16_t DriveValue(int index) const override {
        return static_cast<std::int16_t>((selection_.drives >> index) & 1u);
    }
    std::string DriveCaption(int index) const override {
        return std::string(1, static_cast<char>('A' + index)) + ":";
    }
    bool FollowingMode() const override { return !selection_.allBut; }

  private:
    ModelSelection selection_;
};

// One private folder for the whole fuzzing process, removed when it ends normally.
class Workspace {
  public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "tarnwick-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder_ = pattern;
    }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path Source() const { return folder_ / "source.adm"; }
    fs::path Output() const { return folder_ / "new.adm"; }
    const fs::path& Folder() const { return folder_; }

  private:
    fs::path folder_;
};

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
}

std::set<std::string> FolderEntries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "\n== tarnwick fuzz finding: %s\n", what.c_str());
    std::abort();
}

std::string HexAround(std::string_view bytes, std::size_t at) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t from = at > 8 ? at - 8 : 0;
    const std::size_t to = std::min(bytes.size(), at + 8);
    std::string hex;
    for (std::size_t i = from; i < to; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        hex += (i == at) ? '[' : ' ';
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

void ExpectSameBytes(std::string_view got, std::string_view expected, const char* what) {
    if (got == expected) return;
    const std::size_t at = static_cast<std::size_t>(
        std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first -
        got.begin());
    Finding(std::string(what) + ": got " + std::to_string(got.size()) + " bytes, expected " +
            std::to_string(expected.size()) + "; first difference at " + std::to_string(at) +
            "\n   got:     " + HexAround(got, at) + "\n   expected:" + HexAround(expected, at));
}

// Block sizes the reader is tried with: small ones, so that a marker or a CR LF falls across a
// block edge at every offset; 0 keeps the reader's own size.
constexpr std::size_t kBlockSizes[16] = {0,  32, 33, 34, 35, 36, 37,  39,
                                         40, 47, 48, 63, 64, 65, 100, 257};

void CheckLineReader(const Workspace& ws, std::size_t blockSize, std::string_view source,
                     const ModelOutcome& expected) {
    tarnwick::LineReader reader(blockSize == 0 ? tarnwick::LineReader::kDefaultBlockSize
                                               : blockSize);
    if (const auto opened = reader.Open(ws.Source().string()); !opened) {
        Finding("line reader cannot open: " + opened.failure().message);
    }
    if (expected.verdict == tarnwick::model::ModelVerdict::BigEndian) {
        if (reader.Encoding() != tarnwick::SourceEncoding::Utf16BE) Finding("big-endian missed");
        return;
    }
    const std::string at = " (block size " + std::to_string(blockSize) + ")";
    std::string copied;
    tarnwick::Result<bool> more = true;
    do {
        if (reader.BlockStart() != copied.size()) Finding("a block out of order" + at);
        copied.append(reinterpret_cast<const char*>(reader.Block()), reader.BlockSize());
        more = reader.NextBlock();
    } while (more && *more);
    if (!more) Finding("line reader failed: " + more.failure().message + at);
    ExpectSameBytes(copied, source, "the blocks are not the source");
    const auto& lines = reader.MarkerLines();
    if (lines.size() != expected.markerLines.size()) {
        Finding(std::to_string(lines.size()) + " marker lines found, expected " +
                std::to_string(expected.markerLines.size()) + at);
    }
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].consumed != expected.markerLines[k].consumed) {
            Finding("marker line " + std::to_string(k + 1) + " ends after " +
                    std::to_string(lines[k].consumed) + " bytes, expected " +
                    std::to_string(expected.markerLines[k].consumed) + at);
        }
    }
}

void CheckSuccess(const Workspace& ws, const ModelOutcome& expected,
                  const tarnwick::FormState& state) {
    if (!expected.ok()) {
        Finding("generation succeeded where it must fail (model verdict " +
                std::to_string(static_cast<int>(expected.verdict)) + ", markers " +
                std::to_string(expected.markersFound) + ")");
    }
    ExpectSameBytes(ReadWhole(ws.Output()), expected.bytes, "new template differs from layout");
    if (state.strEntryName != expected.entryName) {
        Finding("entry name '" + state.strEntryName + "', expected '" + expected.entryName + "'");
    }
}

void CheckFailure(const Workspace& ws, const tarnwick::GenerateFailure& result,
                  const ModelOutcome& expected, bool hadOldOutput) {
    if (expected.ok()) {
        Finding("generation failed where it must succeed: fault " +
                std::to_string(static_cast<int>(result.fault)) + ", message: " + result.message);
    }
    if (result.message.empty()) Finding("failure without a message");
    if (expected.verdict == tarnwick::model::ModelVerdict::TooFewMarkers &&
        result.markersFound != expected.markersFound) {
        Finding("markers found " + std::to_string(result.markersFound) + ", expected " +
                std::to_string(expected.markersFound));
    }
    if (hadOldOutput) {
        ExpectSameBytes(ReadWhole(ws.Output()), kOldContent, "existing output changed on failure");
    } else if (fs::exists(ws.Output())) {
        Finding("failure left a file at the new path");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    static Workspace ws;

    const std::uint32_t head =
        static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
        static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    const ModelSelection selection{head & 0x3FFFFFFu, ((head >> 26) & 1u) != 0};
    const bool hadOldOutput = ((head >> 27) & 1u) != 0;
    const std::size_t blockSize = kBlockSizes[head >> 28];
    const std::string_view source(reinterpret_cast<const char*>(data) + 4, size - 4);

    std::error_code ignored;
    fs::remove(ws.Output(), ignored);
    WriteWhole(ws.Source(), source);
    if (hadOldOutput) WriteWhole(ws.Output(), kOldContent);
    const std::set<std::string> before = FolderEntries(ws.Folder());

    FuzzSelection fuzzSelection(selection);
    tarnwick::FormState state;
    state.strSourceADM = ws.Source().string();
    state.strNewADM = ws.Output().string();
    // The command sets the mask before it calls the generator, which only reads it.
    state.dblDriveMask = static_cast<double>(tarnwick::model::ModelMask(selection));
    // The administrator agreed to replace the old output, as the window's Yes does.
    const tarnwick::ReplaceConsent consent{tarnwick::fileio::FileIdentity(state.strNewADM)};
    const tarnwick::GenerateResult result = tarnwick::GenerateADM(fuzzSelection, state, consent);
    const ModelOutcome expected = tarnwick::model::ModelGenerate(source, selection);

    ExpectSameBytes(ReadWhole(ws.Source()), source, "source changed");
    CheckLineReader(ws, blockSize, source, expected);
    if (result) {
        CheckSuccess(ws, expected, state);
    } else {
        CheckFailure(ws, result.failure(), expected, hadOldOutput);
    }
    std::set<std::string> expectedEntries = before;
    if (result) expectedEntries.insert(ws.Output().filename().string());
    if (FolderEntries(ws.Folder()) != expectedEntries) {
        Finding("a temporary or stray file remains in the folder");
    }
    return 0;
}
