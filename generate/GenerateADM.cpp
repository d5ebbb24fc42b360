// The splicer, in one pass over the source: each block is read once, its marker lines are found
// while it is in memory, and it is written into a temporary file beside the new path with the
// encoded inserts in their places. Only a complete file takes the new path, and only as the
// administrator agreed: onto a free path without replacing anything that appeared meanwhile, or
// over the very file they agreed to replace. Any failure stops the writing at once, removes the
// temporary file and says what went wrong.
#include "generate/GenerateADM.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "fileio/NewFile.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/LineReader.h"

namespace tarnwick {

namespace {

using fileio::ByteArray;

// Sizes stay below 2 GiB, as the templates' 32-bit offsets have always required.
constexpr std::uint64_t kLargestFile = std::numeric_limits<std::int32_t>::max();
// More than any definition line can hold (its name, 26 letters with their separators, the fixed
// words), with the line end that may precede it.
constexpr std::uint64_t kLongestDefinitionChars = 256;

const std::string kCrLf = "\r\n";

// Where an insert goes: after `at` bytes of the source. `lineEndFirst` when the marker line ends
// the source with no line end of its own, so the insert starts with one.
struct InsertPlace {
    std::uint64_t at = 0;
    bool lineEndFirst = false;
};

// What a step that may stop the generation gives back.
using Step = Result<void, GenerateFailure>;

GenerateFailure Failed(GenerateFault fault, std::string message, std::uint32_t code = 0,
                       std::string systemText = {}) {
    GenerateFailure failure;
    failure.message = std::move(message);
    failure.code = code;
    failure.fault = fault;
    failure.systemText = std::move(systemText);
    return failure;
}

GenerateFailure ReadFailure(const std::string& source, const Failure& why) {
    return Failed(
        GenerateFault::ReadFailed,
        "Reading the source template " + Quoted(source) + " failed" + fileio::Because(why),
        why.code, why.message);
}

// The new template was not written. The new path is named once, the temporary file never, and
// "unchanged" is said only of a file that was there.
GenerateFailure WriteFailure(const std::string& target, const fileio::NewFileFailure& failure) {
    return Failed(failure.refused ? GenerateFault::NotReplaced : GenerateFault::WriteFailed,
                  fileio::NotWritten("The new template", target, failure), failure.code);
}

// The byte rules put a UTF-16LE insert one byte past the marker line's end as the reader consumed
// it: between the 0D 00 and the 0A 00 of its CR LF. An 8-bit insert goes right after the whole
// line end. No insert goes past the end of the source, and one after a marker line that runs to
// the end with no line end starts with a line end of its own, so that it stands on its own line.
InsertPlace PlaceAfterMarkerLine(const LineInfo& line, SourceEncoding encoding,
                                 std::uint64_t sourceSize) {
    if (line.end == LineEnd::None) return {sourceSize, true};
    const std::uint64_t at =
        encoding == SourceEncoding::Utf16LE ? line.consumed + 1 : line.consumed;
    return {std::min(at, sourceSize), false};
}

// The bytes of an insert, followed by the one zero element that the writer leaves out.
ByteArray EncodeInsert(const std::string& text, SourceEncoding encoding) {
    ByteArray bytes;
    if (encoding == SourceEncoding::Utf16LE) {
        std::int32_t count = 0;
        fileio::StringToWideBytes(text, bytes, count);
    } else {
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
    }
    return bytes;
}

// Writes the source's blocks as they come, each insert in its place. Each step fails with why the
// new template cannot be written; the caller then writes no more.
class Splice {
  public:
    Splice(fileio::NewFile& out, const std::string& target, SourceEncoding encoding,
           std::uint64_t sourceSize, const std::string& itemLine, const std::string& definitionLine)
        : target_(target),
          encoding_(encoding),
          sourceSize_(sourceSize),
          itemLine_(itemLine),
          definitionLine_(definitionLine),
          out_(out) {}

    // `data` holds `size` source bytes from offset `start`. An insert whose place lies in the
    // block or right after it is written in its place; one further on waits for a later block.
    Step CopyBlock(const std::uint8_t* data, std::size_t size, std::uint64_t start,
                   const std::vector<LineInfo>& markerLines) {
        std::size_t copied = 0;
        for (; inserted_ < markerLines.size(); ++inserted_) {
            const InsertPlace place =
                PlaceAfterMarkerLine(markerLines[inserted_], encoding_, sourceSize_);
            if (place.at > start + size) break;
            const auto cut = static_cast<std::size_t>(place.at - start);
            if (Step written = Write(data + copied, cut - copied); !written) return written;
            if (Step written = Insert(place); !written) return written;
            copied = cut;
        }
        return Write(data + copied, size - copied);
    }

    // Once every insert is written, the rest of the source is only copied: where the system can,
    // it copies it itself, without the bytes passing through this process. True when it did.
    Result<bool, GenerateFailure> CopyRest(LineReader& reader) {
        const std::uint64_t rest = reader.Unread();
        if (inserted_ < kMarkerLinesWanted || rest == 0) return false;
        if (out_.Written() + rest > kLargestFile) return false;  // Write() reports it
        const Result<bool, fileio::NewFileFailure> done = out_.CopyFrom(reader.Handle(), rest);
        if (!done) return Stopped(done.failure());
        if (*done) reader.SkipRest();
        return *done;
    }

    Step Finish() {
        const fileio::NewFileStatus committed = out_.Commit();
        if (!committed) return Stopped(committed.failure());
        return {};
    }

  private:
    // The item line after the first two marker lines, the definition line after the third.
    Step Insert(const InsertPlace& place) {
        const std::string& text = inserted_ + 1 == kMarkerLinesWanted ? definitionLine_ : itemLine_;
        const ByteArray bytes = EncodeInsert(place.lineEndFirst ? kCrLf + text : text, encoding_);
        return Write(bytes.data(), bytes.size() - 1);
    }

    Step Write(const std::uint8_t* data, std::size_t size) {
        if (size == 0) return {};
        if (out_.Written() + size > kLargestFile) {
            fileio::NewFileFailure failure;
            failure.message = ": the new template would reach 2 GiB.";
            failure.hadFile = out_.HadFile();
            return Stopped(failure);
        }
        const fileio::NewFileStatus written = out_.Write(data, size);
        if (!written) return Stopped(written.failure());
        return {};
    }

    GenerateFailure Stopped(const fileio::NewFileFailure& failure) const {
        return WriteFailure(target_, failure);
    }

    const std::string& target_;
    SourceEncoding encoding_;
    std::uint64_t sourceSize_;
    const std::string& itemLine_;
    const std::string& definitionLine_;
    fileio::NewFile& out_;
    std::size_t inserted_ = 0;
};

std::uint64_t LongestResult(std::uint64_t sourceSize, const std::string& itemLine,
                            SourceEncoding encoding) {
    const std::uint64_t unit = encoding == SourceEncoding::Utf16LE ? 2 : 1;
    return sourceSize + unit * (2 * itemLine.size() + kLongestDefinitionChars);
}

GenerateFailure OpenFailure(const std::string& source, const SourceFailure& error) {
    if (error.reading) return ReadFailure(source, error);
    return Failed(
        GenerateFault::SourceOpenFailed,
        "The source template " + Quoted(source) + " cannot be opened" + fileio::Because(error),
        error.code, error.message);
}

// Where the encoding or the line ends explain the shortfall, the message says so: "0 lines" alone
// would send the administrator looking for markers that are there.
GenerateFailure TooFewMarkers(const std::string& source, int found) {
    const std::string cause = MarkerShortfallCause(source, found);
    GenerateFailure failure = Failed(
        GenerateFault::TooFewMarkers,
        "The source template " + Quoted(source) + " has " + std::to_string(found) +
            (found == 1 ? " line" : " lines") + " containing \"" + kMarker +
            "\"; three are needed. " + (cause.empty() ? "" : cause + " ") + "Nothing was written.");
    failure.markersFound = found;
    return failure;
}

// Copies every block of the source through the splice while writing goes well. Once it has
// failed (or could not start: `stopped`), the blocks are only searched for the marker lines, so
// that a source that is no template is reported as such rather than by the write that failed
// first.
Step SpliceSource(LineReader& reader, Splice& splice, const std::string& source,
                  std::optional<GenerateFailure> stopped) {
    Result<bool> more = true;
    while (more && *more) {
        if (!stopped) {
            Result<bool, GenerateFailure> copied = false;
            if (Step written = splice.CopyBlock(reader.Block(), reader.BlockSize(),
                                                reader.BlockStart(), reader.MarkerLines());
                !written) {
                stopped = written.failure();
            } else if (copied = splice.CopyRest(reader); !copied) {
                stopped = copied.failure();
            }
            if (copied && *copied) break;
        } else if (reader.MarkerSearchDone()) {
            break;
        }
        more = reader.NextBlock();
    }

    if (!more) return stopped ? *stopped : ReadFailure(source, more.failure());
    const auto found = static_cast<int>(reader.MarkerLines().size());
    if (found < static_cast<int>(kMarkerLinesWanted)) return TooFewMarkers(source, found);
    if (stopped) return *stopped;
    return splice.Finish();
}

bool AnyDriveTicked(const Selection& selection) {
    return !ReadDriveSet(selection).Empty();
}

// What a path names now, links followed.
Result<fileio::Entry> LookUp(const std::string& path) {
    return fileio::CurrentPlatform().Lookup(path);
}

}  // namespace

GenerateResult GenerateADM(const Selection& selection, FormState& state) {
    return GenerateADM(selection, state, ReplaceConsent{}, LineReader::kDefaultBlockSize);
}

GenerateResult GenerateADM(const Selection& selection, FormState& state,
                           const ReplaceConsent& consent) {
    return GenerateADM(selection, state, consent, LineReader::kDefaultBlockSize);
}

GenerateResult GenerateADM(const Selection& selection, FormState& state, std::size_t blockSize) {
    return GenerateADM(selection, state, ReplaceConsent{}, blockSize);
}

GenerateResult GenerateADM(const Selection& selection, FormState& state,
                           const ReplaceConsent& consent, std::size_t blockSize) {
    const std::string source = state.strSourceADM;
    const std::string target = state.strNewADM;

    LineReader reader(blockSize);
    // A device or a pipe is never opened: opening alone may wait for a writer or act on a device.
    const Result<fileio::Entry> sourceEntry = LookUp(source);
    if (sourceEntry && sourceEntry->kind == fileio::EntryKind::Special) {
        return OpenFailure(
            source, SourceFailure{{"It is not a regular file (a device, pipe or socket).", 0}});
    }
    if (const Result<void, SourceFailure> opened = reader.Open(source); !opened) {
        return OpenFailure(source, opened.failure());
    }
    if (reader.Encoding() == SourceEncoding::Utf16BE) {
        return Failed(GenerateFault::UnsupportedSource,
                      "The source template " + Quoted(source) +
                          " is UTF-16 big-endian; only UTF-16LE and 8-bit templates can be used.");
    }
    if (fileio::SameFile(source, target)) {
        return Failed(GenerateFault::InvalidInput,
                      "The new template " + Quoted(target) +
                          " is the source template itself, which is never changed.");
    }
    // Both lines up front: the item line sets the entry name that the definition line carries,
    // which needs at least one ticked drive.
    const bool ticked = AnyDriveTicked(selection);
    const std::string itemLine = BuildItemLine(selection, state, state.dblDriveMask);
    const std::string definitionLine = ticked ? BuildStringsLine(selection, state) : "";
    if (LongestResult(reader.Size(), itemLine, reader.Encoding()) > kLargestFile) {
        return Failed(GenerateFault::InvalidInput,
                      "The source template " + Quoted(source) +
                          " is too large: the new template must stay under 2 GiB.");
    }

    // What keeps the template from being written is reported only once the source has proved
    // to be a template: a source that is none says so first.
    fileio::NewFile out(target);
    const std::optional<GenerateFailure> refusal = [&]() -> std::optional<GenerateFailure> {
        if (!ticked) {
            return Failed(GenerateFault::InvalidInput,
                          "No drive is ticked, so there is no definition line to write.");
        }
        // An empty path would put the temporary file in whatever folder is current.
        if (target.empty()) {
            return Failed(GenerateFault::InvalidInput,
                          "No path was given for the new template. Nothing was written.");
        }
        const fileio::NewFileStatus begun = out.Begin(consent.file);
        if (!begun) return WriteFailure(target, begun.failure());
        return std::nullopt;
    }();

    Step spliced;
    {
        Splice splice(out, target, reader.Encoding(), reader.Size(), itemLine, definitionLine);
        spliced = SpliceSource(reader, splice, source, refusal);
    }
    reader.Close();
    if (!spliced) return spliced.failure();
    return Generated{out.HadFile()};
}

}  // namespace tarnwick
