// The splicer. It finds the three marker lines with the line reader, then writes the new template
// piece by piece into a temporary file beside the new path: source ranges copied unchanged, in
// bounded pieces, with the encoded inserts between them. Only a complete file replaces the new
// path; any failure stops at once, removes the temporary file and says what went wrong.
#include "generate/GenerateADM.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>
#include <stdexcept>

#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/LineReader.h"

namespace tarnwick {

namespace {

using fileio::ByteArray;

constexpr int kMarkerLines = 3;
// Copies go through memory in pieces of at most this size, whatever the size of the source.
constexpr std::int64_t kCopyPiece = 1024 * 1024;
// Positions and offsets are 32-bit signed, so neither the source nor the result may reach 2 GiB.
constexpr std::int64_t kLargestFile = std::numeric_limits<std::int32_t>::max();
// More than any definition line can hold (its name, 26 letters with their separators, the fixed
// words), with the line end that may precede it.
constexpr std::int64_t kLongestDefinitionChars = 256;

const std::string kCrLf = "\r\n";

// Where an insert goes: after `at` bytes of the source. `lineEndFirst` when the marker line ends
// the source with no line end of its own, so the insert starts with one.
struct InsertPlace {
    std::int64_t at = 0;
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

std::string Because(const fileio::SysError& error) {
    return error.text.empty() ? std::string(".") : ": " + error.text + ".";
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
InsertPlace PlaceAfterMarkerLine(const LineReader& reader, const LineInfo& line) {
    const auto size = static_cast<std::int64_t>(reader.Size());
    const auto consumed = static_cast<std::int64_t>(reader.Position()) - 1;
    const std::int64_t at = reader.Encoding() == SourceEncoding::Utf16LE ? consumed + 1 : consumed;
    if (line.end == LineEnd::None) return {size, true};
    return {std::min(at, size), false};
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

// Writes the new template's pieces end to end into the temporary file and stops at the first
// failure, which `result` then describes.
class Splice {
  public:
    Splice(const std::string& source, const std::string& temp, const std::string& target,
           SourceEncoding encoding)
        : source_(source), temp_(temp), target_(target), encoding_(encoding) {}

    bool CopyRange(std::int64_t from, std::int64_t to) {
        for (std::int64_t start = from; start < to; start += kCopyPiece) {
            const std::int64_t end = std::min(to, start + kCopyPiece);
            if (!CopyPiece(static_cast<std::int32_t>(start), static_cast<std::int32_t>(end))) {
                return false;
            }
        }
        return true;
    }

    bool Insert(const std::string& text) { return Write(EncodeInsert(text, encoding_)); }

    std::int64_t Written() const { return offset_; }
    const GenerateResult& Result() const { return result_; }
    void SetResult(GenerateResult result) { result_ = std::move(result); }

  private:
    // One buffer serves every piece: a failed read leaves it empty, and then the splice stops.
    bool CopyPiece(std::int32_t start, std::int32_t end) {
        ByteArray& bytes = buffer_;
        std::int32_t count = 0;
        fileio::SysError why;
        int status = fileio::kReadFailed;
        try {
            status = fileio::ReadFileBytes(source_, bytes, count, start, end, &why);
        } catch (const std::exception&) {
            return Stop(ReadFailure(source_, {0, "it changed while it was being read"}));
        }
        // A buffer that does not hold exactly the range asked for is never written.
        if (status != fileio::kReadDone || count != end - start ||
            bytes.size() != static_cast<std::size_t>(count) + 1) {
            return Stop(ReadFailure(source_, why));
        }
        return Write(bytes);
    }

    bool Write(const ByteArray& bytes) {
        const auto length = static_cast<std::int64_t>(bytes.size()) - 1;
        if (length <= 0) return true;
        if (offset_ + length > kLargestFile) {
            return Stop(WriteFailure(temp_, target_, {0, "the new template would reach 2 GiB"}));
        }
        fileio::SysError why;
        int status = fileio::kWriteFailed;
        try {
            status = fileio::WriteFileBytes(bytes, temp_, static_cast<std::int32_t>(offset_),
                                            offset_ == 0, &why);
        } catch (const std::exception& e) {
            why = {0, e.what()};
        }
        if (status != fileio::kWriteDone) return Stop(WriteFailure(temp_, target_, why));
        offset_ += length;
        return true;
    }

    bool Stop(GenerateResult result) {
        result_ = std::move(result);
        return false;
    }

    const std::string& source_;
    const std::string& temp_;
    const std::string& target_;
    SourceEncoding encoding_;
    std::int64_t offset_ = 0;
    ByteArray buffer_;
    GenerateResult result_;
};

struct MarkerSearch {
    InsertPlace places[kMarkerLines];
    int found = 0;
};

// Reads the source up to the end of its third marker line. The rest of it matters only by size.
bool FindMarkerLines(LineReader& reader, MarkerSearch& search) {
    for (; search.found < kMarkerLines; ++search.found) {
        LineInfo line;
        if (!reader.SkipToMarkerLine(line)) return false;
        search.places[search.found] = PlaceAfterMarkerLine(reader, line);
    }
    return true;
}

std::int64_t LongestResult(std::int64_t sourceSize, const std::string& itemLine,
                           SourceEncoding encoding) {
    const std::int64_t unit = encoding == SourceEncoding::Utf16LE ? 2 : 1;
    const auto itemChars = static_cast<std::int64_t>(itemLine.size());
    return sourceSize + unit * (2 * itemChars + kLongestDefinitionChars);
}

// The definition line is built only once the third range is written, as the item line's entry
// name stands by then.
bool InsertDefinitionLine(Splice& splice, const InsertPlace& place, const Selection& selection,
                          const FormState& state) {
    std::string line;
    try {
        line = BuildStringsLine(selection, state);
    } catch (const std::out_of_range&) {
        splice.SetResult(Failure(GenerateStatus::InvalidInput,
                                 "No drive is ticked, so there is no definition line to write."));
        return false;
    }
    return splice.Insert(place.lineEndFirst ? kCrLf + line : line);
}

// Writes: range, item line, range, item line, range, definition line, the rest of the source.
bool WriteNewTemplate(Splice& splice, const MarkerSearch& search, std::int64_t sourceSize,
                      const std::string& itemLine, const Selection& selection,
                      const FormState& state) {
    std::int64_t copied = 0;
    for (int k = 0; k < kMarkerLines; ++k) {
        const InsertPlace& place = search.places[k];
        if (!splice.CopyRange(copied, place.at)) return false;
        copied = place.at;
        const bool inserted = k < kMarkerLines - 1
                                  ? splice.Insert(place.lineEndFirst ? kCrLf + itemLine : itemLine)
                                  : InsertDefinitionLine(splice, place, selection, state);
        if (!inserted) return false;
    }
    return splice.CopyRange(copied, sourceSize);
}

// The written file must be exactly as long as its pieces: a write that came up short (a full
// disk) would otherwise pass unnoticed.
bool CheckWrittenSize(const std::string& temp, const std::string& target, std::int64_t expected,
                      GenerateResult& result) {
    fileio::LocalTime creation, lastWrite, lastAccess;
    bool archive = false, hidden = false, readOnly = false, system = false;
    std::int32_t size = 0;
    fileio::SysError why;
    const int status = fileio::GetFileInfo(temp, creation, lastWrite, lastAccess, archive, hidden,
                                           readOnly, system, size, &why);
    if (status == fileio::kInfoDone && size == expected) return true;
    if (status == fileio::kInfoDone) {
        why = {0, "it holds " + std::to_string(size) + " bytes instead of " +
                      std::to_string(expected)};
    }
    result = WriteFailure(temp, target, why);
    return false;
}

GenerateResult OpenFailure(const LineReader& reader, const std::string& source,
                           const fileio::SysError& error) {
    if (reader.Failed()) return ReadFailure(source, error);
    return Failure(GenerateStatus::SourceOpenFailed,
                   "The source template " + Quoted(source) + " cannot be opened" + Because(error),
                   error);
}

GenerateResult TooFewMarkers(const std::string& source, int found) {
    GenerateResult result =
        Failure(GenerateStatus::TooFewMarkers,
                "The source template " + Quoted(source) + " has " + std::to_string(found) +
                    (found == 1 ? " line" : " lines") + " containing \"" + kMarker +
                    "\"; three are needed. Nothing was written.");
    result.markersFound = found;
    return result;
}

}  // namespace

GenerateResult GenerateADM(const Selection& selection, FormState& state) {
    const std::string source = state.strSourceADM;
    const std::string target = state.strNewADM;

    LineReader reader;
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

    const std::string itemLine = BuildItemLine(selection, state, state.dblDriveMask);
    const auto sourceSize = static_cast<std::int64_t>(
        std::min<std::uint64_t>(reader.Size(), std::numeric_limits<std::int64_t>::max() / 4));
    if (LongestResult(sourceSize, itemLine, reader.Encoding()) > kLargestFile) {
        return Failure(GenerateStatus::InvalidInput,
                       "The source template " + Quoted(source) +
                           " is too large: the new template must stay under 2 GiB.");
    }

    MarkerSearch search;
    if (!FindMarkerLines(reader, search)) {
        if (reader.Failed()) return ReadFailure(source, reader.Error());
        return TooFewMarkers(source, search.found);
    }
    const SourceEncoding encoding = reader.Encoding();
    reader.Close();

    TempFile temp(fileio::TempPathBeside(target));
    Splice splice(source, temp.Path(), target, encoding);
    if (!WriteNewTemplate(splice, search, sourceSize, itemLine, selection, state)) {
        return splice.Result();
    }
    GenerateResult result;
    if (!CheckWrittenSize(temp.Path(), target, splice.Written(), result)) return result;
    fileio::SysError why;
    if (!fileio::ReplaceFile(temp.Path(), target, &why)) {
        return Failure(GenerateStatus::WriteFailed,
                       "The new template " + Quoted(target) + " cannot be replaced" + Because(why) +
                           " It is unchanged.",
                       why);
    }
    temp.Keep();
    result.markersFound = kMarkerLines;
    result.message = "The new template " + Quoted(target) + " has been written.";
    return result;
}

}  // namespace tarnwick
