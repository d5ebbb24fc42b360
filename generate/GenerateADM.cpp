// The splicer, in one pass over the source: each block is read once, its marker lines are found
// while it is in memory, and it is written into a temporary file beside the new path with the
// encoded inserts in their places. Only a complete file replaces the new path; any failure stops
// the writing at once, removes the temporary file and says what went wrong.
#include "generate/GenerateADM.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

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

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

GenerateResult Failure(GenerateStatus status, std::string message, fileio::SysError error = {}) {
    GenerateResult result;
    result.status = status;
    result.message = std::move(message);
    result.error = std::move(error);
    return result;
}

// The system's descriptions mostly end in a full stop already (Windows' always do).
std::string Because(const fileio::SysError& error) {
    if (error.text.empty()) return ".";
    return ": " + error.text + (error.text.back() == '.' ? "" : ".");
}

GenerateResult ReadFailure(const std::string& source, const fileio::SysError& why) {
    return Failure(GenerateStatus::ReadFailed,
                   "Reading the source template " + Quoted(source) + " failed" + Because(why), why);
}

GenerateResult WriteFailure(const std::string& temp, const std::string& target,
                            const fileio::SysError& why) {
    return Failure(GenerateStatus::WriteFailed,
                   "Writing the new template " + Quoted(target) + " (through the temporary file " +
                       Quoted(temp) + ") failed" + Because(why) + " " + Quoted(target) +
                       " is unchanged.",
                   why);
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

// Removes the temporary file on every way out unless it has become the new template.
class TempFile {
  public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!kept_) fileio::RemoveFile(path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    bool kept_ = false;
};

// The temporary file, written front to back through one handle.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path)
        : path_(path), platform_(fileio::CurrentPlatform()) {}
    ~OutputFile() {
        fileio::SysError ignored;  // only on a way out where the file is removed anyway
        if (handle_ != fileio::kNoHandle) platform_.Close(handle_, ignored);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(fileio::SysError& why) {
        if (platform_.Open(path_, fileio::Access::Write, fileio::Disposition::CreateNew, handle_,
                           why)) {
            return true;
        }
        handle_ = fileio::kNoHandle;
        return false;
    }
    bool Write(const std::uint8_t* data, std::size_t size, fileio::SysError& why) {
        if (!platform_.Write(handle_, data, size, why)) return false;
        written_ += size;
        return true;
    }
    // The file must be exactly as long as what was written, and closed without an error: either
    // could otherwise hide lost bytes.
    bool Close(fileio::SysError& why) {
        std::uint64_t size = 0;
        const bool sized = platform_.Size(handle_, size, why);
        const fileio::Handle handle = std::exchange(handle_, fileio::kNoHandle);
        fileio::SysError closeWhy;
        const bool closed = platform_.Close(handle, closeWhy);
        if (!sized) return false;
        if (!closed) {
            why = closeWhy;
            return false;
        }
        if (size == written_) return true;
        why = {0, "it holds " + std::to_string(size) + " bytes instead of " +
                      std::to_string(written_)};
        return false;
    }
    std::uint64_t Written() const { return written_; }

  private:
    const std::string& path_;
    fileio::Platform& platform_;
    fileio::Handle handle_ = fileio::kNoHandle;
    std::uint64_t written_ = 0;
};

// Writes the source's blocks as they come, each insert in its place, and stops at the first
// failure, which Result() then describes.
class Splice {
  public:
    Splice(const std::string& temp, const std::string& target, SourceEncoding encoding,
           std::uint64_t sourceSize, std::string itemLine, const Selection& selection,
           const FormState& state)
        : temp_(temp),
          target_(target),
          encoding_(encoding),
          sourceSize_(sourceSize),
          itemLine_(std::move(itemLine)),
          selection_(selection),
          state_(state),
          out_(temp) {}

    bool Start() {
        fileio::SysError why;
        return out_.Create(why) || Stop(WriteFailure(temp_, target_, why));
    }

    // `data` holds `size` source bytes from offset `start`. An insert whose place lies in the
    // block or right after it is written in its place; one further on waits for a later block.
    bool CopyBlock(const std::uint8_t* data, std::size_t size, std::uint64_t start,
                   const std::vector<LineInfo>& markerLines) {
        std::size_t copied = 0;
        for (; inserted_ < markerLines.size(); ++inserted_) {
            const InsertPlace place =
                PlaceAfterMarkerLine(markerLines[inserted_], encoding_, sourceSize_);
            if (place.at > start + size) break;
            const auto cut = static_cast<std::size_t>(place.at - start);
            if (!Write(data + copied, cut - copied) || !Insert(place)) return false;
            copied = cut;
        }
        return Write(data + copied, size - copied);
    }

    bool Finish() {
        fileio::SysError why;
        return out_.Close(why) || Stop(WriteFailure(temp_, target_, why));
    }

    const GenerateResult& Result() const { return result_; }

  private:
    // The item line after the first two marker lines, the definition line after the third. The
    // definition line is built only when it is due, once the item line has set the entry name.
    bool Insert(const InsertPlace& place) {
        std::string text = itemLine_;
        if (inserted_ + 1 == kMarkerLinesWanted) {
            try {
                text = BuildStringsLine(selection_, state_);
            } catch (const std::out_of_range&) {
                return Stop(
                    Failure(GenerateStatus::InvalidInput,
                            "No drive is ticked, so there is no definition line to write."));
            }
        }
        const ByteArray bytes = EncodeInsert(place.lineEndFirst ? kCrLf + text : text, encoding_);
        return Write(bytes.data(), bytes.size() - 1);
    }

    bool Write(const std::uint8_t* data, std::size_t size) {
        if (size == 0) return true;
        if (out_.Written() + size > kLargestFile) {
            return Stop(WriteFailure(temp_, target_, {0, "the new template would reach 2 GiB"}));
        }
        fileio::SysError why;
        return out_.Write(data, size, why) || Stop(WriteFailure(temp_, target_, why));
    }

    bool Stop(GenerateResult result) {
        result_ = std::move(result);
        return false;
    }

    const std::string& temp_;
    const std::string& target_;
    SourceEncoding encoding_;
    std::uint64_t sourceSize_;
    std::string itemLine_;
    const Selection& selection_;
    const FormState& state_;
    OutputFile out_;
    std::size_t inserted_ = 0;
    GenerateResult result_;
};

std::uint64_t LongestResult(std::uint64_t sourceSize, const std::string& itemLine,
                            SourceEncoding encoding) {
    const std::uint64_t unit = encoding == SourceEncoding::Utf16LE ? 2 : 1;
    return sourceSize + unit * (2 * itemLine.size() + kLongestDefinitionChars);
}

GenerateResult OpenFailure(const LineReader& reader, const std::string& source,
                           const fileio::SysError& error) {
    if (reader.Failed()) return ReadFailure(source, error);
    return Failure(GenerateStatus::SourceOpenFailed,
                   "The source template " + Quoted(source) + " cannot be opened" + Because(error),
                   error);
}

// Where the encoding or the line ends explain the shortfall, the message says so: "0 lines" alone
// would send the administrator looking for markers that are there.
GenerateResult TooFewMarkers(const std::string& source, int found) {
    const std::string cause = MarkerShortfallCause(source, found);
    GenerateResult result = Failure(
        GenerateStatus::TooFewMarkers,
        "The source template " + Quoted(source) + " has " + std::to_string(found) +
            (found == 1 ? " line" : " lines") + " containing \"" + kMarker +
            "\"; three are needed. " + (cause.empty() ? "" : cause + " ") + "Nothing was written.");
    result.markersFound = found;
    return result;
}

// Copies every block of the source through the splice. Once writing has failed, the rest of the
// source is only searched for its marker lines, so that a source that is no template is reported
// as such rather than by the write that failed first; nothing more is written.
GenerateResult SpliceSource(LineReader& reader, Splice& splice, const std::string& source) {
    bool writing = splice.Start();
    for (;;) {
        if (writing) {
            writing = splice.CopyBlock(reader.Block(), reader.BlockSize(), reader.BlockStart(),
                                       reader.MarkerLines());
        }
        const bool writeFailed = !writing && splice.Result().status == GenerateStatus::WriteFailed;
        if (!writing && (!writeFailed || reader.MarkerSearchDone())) break;
        if (!reader.NextBlock()) break;
    }
    if (reader.Failed() && writing) return ReadFailure(source, reader.Error());
    const auto found = static_cast<int>(reader.MarkerLines().size());
    if (!reader.Failed() && found < static_cast<int>(kMarkerLinesWanted)) {
        return TooFewMarkers(source, found);
    }
    if (!writing || !splice.Finish()) return splice.Result();
    return {};
}

}  // namespace

GenerateResult GenerateADM(const Selection& selection, FormState& state) {
    return GenerateADM(selection, state, LineReader::kDefaultBlockSize);
}

GenerateResult GenerateADM(const Selection& selection, FormState& state, std::size_t blockSize) {
    const std::string source = state.strSourceADM;
    const std::string target = state.strNewADM;

    LineReader reader(blockSize);
    fileio::SysError openError;
    if (!reader.Open(source, openError)) return OpenFailure(reader, source, openError);
    if (reader.Encoding() == SourceEncoding::Utf16BE) {
        return Failure(GenerateStatus::UnsupportedSource,
                       "The source template " + Quoted(source) +
                           " is UTF-16 big-endian; only UTF-16LE and 8-bit templates can be used.");
    }
    if (fileio::SameFile(source, target)) {
        return Failure(GenerateStatus::InvalidInput,
                       "The new template " + Quoted(target) +
                           " is the source template itself, which is never changed.");
    }

    std::string itemLine = BuildItemLine(selection, state, state.dblDriveMask);
    if (LongestResult(reader.Size(), itemLine, reader.Encoding()) > kLargestFile) {
        return Failure(GenerateStatus::InvalidInput,
                       "The source template " + Quoted(source) +
                           " is too large: the new template must stay under 2 GiB.");
    }

    TempFile temp(fileio::TempPathBeside(target));
    GenerateResult result;
    {
        Splice splice(temp.Path(), target, reader.Encoding(), reader.Size(), std::move(itemLine),
                      selection, state);
        result = SpliceSource(reader, splice, source);
    }
    reader.Close();
    if (!result.ok()) return result;

    fileio::SysError why;
    if (!fileio::ReplaceFile(temp.Path(), target, &why)) {
        return Failure(GenerateStatus::WriteFailed,
                       "The new template " + Quoted(target) + " cannot be replaced" + Because(why) +
                           " It is unchanged.",
                       why);
    }
    temp.Keep();
    result.markersFound = static_cast<int>(kMarkerLinesWanted);
    result.message = "The new template " + Quoted(target) + " has been written.";
    return result;
}

}  // namespace tarnwick
