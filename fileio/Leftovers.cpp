#include "fileio/Leftovers.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "core/Text.h"
#include "fileio/Platform.h"
#include "fileio/WholeFile.h"
#include "fileio/mdlAPIFiles.h"

namespace tarnwick::fileio {

namespace {

#ifdef _WIN32
constexpr char kSystem = 'w';
constexpr const char* kSeparators = "\\/:";
#else
constexpr char kSystem = 'p';
constexpr const char* kSeparators = "/";
#endif
constexpr std::string_view kOld = "-old";
constexpr std::size_t kMaxHostBytes = 32;

bool IsHex(std::string_view text) {
    if (text.size() != 16) return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::isupper(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The writer's process identifier, when `tag` is this host's and this system's.
bool OwnHostsProcess(std::string_view middle, std::uint32_t& id) {
    const std::string own = WriterTag();
    const std::size_t dot = own.find('.');
    const std::string_view host = std::string_view(own).substr(0, dot + 2);  // "<host>.<p|w>"
    if (middle.size() < host.size() + 18 || middle.substr(0, host.size()) != host) return false;
    const std::string_view digits = middle.substr(host.size(), middle.size() - host.size() - 17);
    const auto value = digits.size() > 10 ? NumberFault::Overflow : ReadU32(digits);
    if (value) id = *value;
    return value.ok();
}

// "<old name without -old>-kept": the name under which an earlier file that may be the only copy
// of its content stays, out of reach of every clearing.
std::string KeptName(std::string_view old) {
    if (EndsWith(old, kOld)) old.remove_suffix(kOld.size());
    return std::string(old) + "-kept";
}

bool SameVolumeAndIndex(const FileId& a, const FileId& b) {
    return a.volume == b.volume && a.index == b.index;
}

constexpr std::string_view kJournalStart = "tarnwick set 1\n";
constexpr std::string_view kJournalEnd = "end\n";

// A field of a journal line: a path with its tabs, line ends and '%' escaped, relative to the
// journal's folder (with '/') where it is in it.
std::string Field(std::string_view folder, std::string_view path) {
    if (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
        std::string_view(kSeparators).find(path[folder.size()]) != std::string_view::npos) {
        path.remove_prefix(folder.size() + 1);
    }
    std::string out;
    for (char c : path) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            out += '%';
            out += "0123456789ABCDEF"[(c >> 4) & 0xF];
            out += "0123456789ABCDEF"[c & 0xF];
        } else {
            out += c == kSeparators[0] ? '/' : c;
        }
    }
    return out;
}

std::optional<std::string> PathOf(std::string_view folder, std::string_view field) {
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            path += field[i] == '/' ? kSeparators[0] : field[i];
            continue;
        }
        const int high = i + 2 < field.size() ? DigitValue(field[i + 1], 16) : -1;
        const int low = high < 0 ? -1 : DigitValue(field[i + 2], 16);
        if (low < 0) return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (path.empty()) return path;
#ifdef _WIN32
    const bool absolute = path[0] == '\\' || (path.size() > 1 && path[1] == ':');
#else
    const bool absolute = path[0] == '/';
#endif
    return absolute ? path : JoinPath(folder, path);
}

}  // namespace

std::optional<std::vector<SetEntry>> ReadJournal(const std::string& folder, std::string_view text) {
    if (text.substr(0, kJournalStart.size()) != kJournalStart || !EndsWith(text, kJournalEnd))
        return std::nullopt;
    text =
        text.substr(kJournalStart.size(), text.size() - kJournalStart.size() - kJournalEnd.size());
    std::vector<SetEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        std::string_view fields[5];
        for (std::size_t i = 0; i < 5; ++i) {
            const std::size_t tab = i < 4 ? line.find('\t') : line.size();
            if (tab == std::string_view::npos) return std::nullopt;
            fields[i] = line.substr(0, tab);
            line.remove_prefix(std::min(tab + 1, line.size()));
        }
        const auto target = PathOf(folder, fields[0]), temp = PathOf(folder, fields[1]),
                   old = PathOf(folder, fields[2]);
        const auto volume = ReadU64(fields[3]), index = ReadU64(fields[4]);
        if (!target || !temp || !old || !volume || !index) return std::nullopt;
        entries.push_back({*target, *temp, *old, {*volume, *index, 0}});
    }
    return entries;
}

namespace {

// Whether something is at `path`; a look that fails is a failure to heal.
Result<EntryKind> KindAt(const std::string& path) {
    const Result<Entry> entry = CurrentPlatform().Lookup(path);
    if (!entry) return entry.failure();
    return entry->kind;
}

Status RemoveIfThere(const std::string& path) {
    const Result<EntryKind> kind = KindAt(path);
    if (!kind) return kind.failure();
    return *kind == EntryKind::Missing ? Status() : CurrentPlatform().Remove(path);
}

// One set as its journal tells: forward or back, as HealSets says.
Status Heal(const std::vector<SetEntry>& entries) {
    Platform& platform = CurrentPlatform();
    std::vector<bool> placed;
    bool complete = true;
    for (const SetEntry& entry : entries) {
        // Only the move into place takes a temporary away: signals wait while the set moves.
        const Result<EntryKind> temp = KindAt(entry.temp);
        if (!temp) return temp.failure();
        placed.push_back(*temp == EntryKind::Missing);
        complete = complete && placed.back();
    }
    // Back: the replaced files first, so that a heal cut short is taken back again, not forward.
    for (std::size_t i = entries.size(); i-- > 0 && !complete;) {
        const SetEntry& entry = entries[i];
        if (!placed[i]) continue;
        const Result<Entry> now = platform.Lookup(entry.target);
        if (!now) return now.failure();
        const bool ours =
            now->kind == EntryKind::Regular && SameVolumeAndIndex(now->id, entry.made);
        Status done;
        if (entry.old.empty()) {
            if (ours) done = platform.Remove(entry.target);
        } else if (const Result<EntryKind> old = KindAt(entry.old); !old) {
            done = old.failure();
        } else if (*old != EntryKind::Missing) {
            done = ours ? platform.Replace(entry.old, entry.target)
                        : platform.MoveNew(entry.old, KeptName(entry.old));
        }
        if (!done) return done;
    }
    // Forward, the earlier files are superseded; back, a file not replaced has its second name
    // on its target.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!complete && placed[i]) continue;
        if (Status s = RemoveIfThere(entries[i].temp); !s) return s;
        if (!entries[i].old.empty())
            if (Status s = RemoveIfThere(entries[i].old); !s) return s;
    }
    return {};
}

}  // namespace

std::string JournalText(const std::string& folder, const std::vector<SetEntry>& entries) {
    std::string text(kJournalStart);
    for (const SetEntry& entry : entries) {
        text += Field(folder, entry.target) + "\t" + Field(folder, entry.temp) + "\t" +
                Field(folder, entry.old) + "\t" + std::to_string(entry.made.volume) + "\t" +
                std::to_string(entry.made.index) + "\n";
    }
    return text += kJournalEnd;
}

Status WriteSetJournal(const std::string& path, const std::vector<SetEntry>& entries) {
    const std::size_t slash = path.find_last_of(kSeparators);
    const std::string text =
        JournalText(slash == std::string::npos ? "." : path.substr(0, slash), entries);
    Platform& platform = CurrentPlatform();
    const Result<Handle> handle = platform.Open(path, Access::Write, Disposition::CreateNew);
    if (!handle) return handle.failure();
    Status done = platform.Write(*handle, text.data(), text.size());
    if (done) done = platform.Flush(*handle);
    const Status closed = platform.Close(*handle);
    if (done && !closed) done = closed;
    if (!done) (void)platform.Remove(path);
    return done;
}

Status HealSets(const std::string& folder) {
    const auto names = CurrentPlatform().ListFolder(folder);
    if (!names) return {};  // the reads that follow say what is wrong with the folder
    for (const std::string& name : *names) {
        if (!EndsWith(name, kJournalSuffix)) continue;
        const std::string path = JoinPath(folder, name);
        const auto read = ReadWholeFile(path, 1 << 20);
        if (!read) return read.failure();
        if (const auto entries = ReadJournal(folder, read->bytes)) {
            if (Status healed = Heal(*entries); !healed) return healed;
        }
        if (Status removed = CurrentPlatform().Remove(path); !removed) return removed;
    }
    return {};
}

std::string WriterTag() {
    std::string host;
    for (const char c : HostName()) {
        if (c == '.' || host.size() == kMaxHostBytes) break;
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-') host += LowerAscii(c);
    }
    if (host.empty()) host = "host";
    return host + "." + kSystem + std::to_string(CurrentProcessId());
}

std::string TempMiddle(const std::string& targetName, const std::string& name) {
    const std::string start = TempNameStart(targetName);
    std::string_view rest = name;
    if (EndsWith(rest, kOld)) rest.remove_suffix(kOld.size());
    if (!EndsWith(rest, kTempSuffix) || rest.substr(0, start.size()) != start) return {};
    rest = rest.substr(start.size(), rest.size() - start.size() - (sizeof kTempSuffix - 1));
    // "<hex>" of older runs, or "<host>.<p|w><id>.<hex>" with a host free of dots.
    if (rest.size() < 16 || !IsHex(rest.substr(rest.size() - 16))) return {};
    if (rest.size() == 16) return std::string(rest);
    const std::string_view writer = rest.substr(0, rest.size() - 17);
    const std::size_t dot = writer.find('.');
    if (rest[rest.size() - 17] != '.' || dot == std::string_view::npos || dot == 0 ||
        writer.find('.', dot + 1) != std::string_view::npos || dot + 2 >= writer.size() ||
        (writer[dot + 1] != 'p' && writer[dot + 1] != 'w')) {
        return {};
    }
    return std::string(rest);
}

bool ClearLeftovers(const std::string& target, bool all) {
    const std::size_t slash = target.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    Platform& platform = NativePlatform();
    const auto names = platform.ListFolder(folder);
    if (!names) return false;
    const Result<Entry> targetEntry = platform.Lookup(target);
    bool cleared = false;
    for (const std::string& entry : *names) {
        const std::string middle = TempMiddle(name, entry);
        std::uint32_t id = 0;
        if (middle.empty()) continue;
        if (!all && (!OwnHostsProcess(middle, id) || !ProcessEnded(id))) continue;
        const std::string path = JoinPath(folder, entry);
        if (EndsWith(entry, kOld)) {
            const Result<Entry> old = platform.Lookup(path);
            const bool secondName = old && targetEntry && targetEntry->kind == EntryKind::Regular &&
                                    SameVolumeAndIndex(old->id, targetEntry->id);
            if (!secondName) {
                cleared = platform.MoveNew(path, KeptName(path)).ok() || cleared;
                continue;
            }
        }
        cleared = platform.Remove(path).ok() || cleared;
    }
    return cleared;
}

}  // namespace tarnwick::fileio
