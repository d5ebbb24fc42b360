#include "regpol/PolFile.h"

#include <algorithm>
#include <array>

#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick::regpol {

namespace {

constexpr std::string_view kSignature = "PReg";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 8;

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint16_t Unit(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutUnit(std::string& out, std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    Result<std::vector<PolRecord>> Run() {
        if (bytes_.size() > kMaxInputBytes) {
            return Failure{"is " + LargerThanLimit() + ", too large for a Registry.pol"};
        }
        if (bytes_.size() < 4 || bytes_.substr(0, 4) != kSignature) {
            return Failure{"byte 0: no \"PReg\" signature; this is no Registry.pol"};
        }
        if (bytes_.size() < kHeaderSize) {
            return Failure{"byte 4: the file ends inside its version number"};
        }
        if (const std::uint32_t version = Le32(bytes_, 4); version != kVersion) {
            return Failure{"byte 4: version " + std::to_string(version) +
                           ", but only version 1 is known"};
        }
        std::vector<PolRecord> records;
        at_ = kHeaderSize;
        while (at_ < bytes_.size()) {
            PolRecord record;
            if (!Record(record)) return Failure{error_};
            records.push_back(std::move(record));
        }
        return records;
    }

  private:
    bool Fail(std::size_t at, const std::string& what) {
        error_ = "byte " + std::to_string(at) + ": " + what;
        return false;
    }

    bool Expect(char16_t unit, const char* name) {
        if (at_ + 2 > bytes_.size()) {
            return Fail(at_, std::string("the file ends where ") + name + " was expected");
        }
        if (Unit(bytes_, at_) != unit) return Fail(at_, std::string("expected ") + name);
        at_ += 2;
        return true;
    }

    // A text ended by a zero unit, then ";". Brackets may stand inside (value names may hold
    // them); the zero unit alone ends the text.
    bool Text(std::string& text, const char* what) {
        const std::size_t start = at_;
        std::u16string units;
        while (true) {
            if (at_ + 2 > bytes_.size()) {
                return Fail(start, std::string("the ") + what +
                                       " has no end (no zero character before the end of the "
                                       "file)");
            }
            const std::uint16_t u = Unit(bytes_, at_);
            at_ += 2;
            if (u == 0) break;
            units += static_cast<char16_t>(u);
        }
        text = Utf8Of(units);
        return Expect(u';', "\";\"");
    }

    bool Number(std::uint32_t& value, const char* what) {
        if (at_ + 4 > bytes_.size()) {
            return Fail(at_, std::string("the file ends inside the record's ") + what);
        }
        value = Le32(bytes_, at_);
        at_ += 4;
        return true;
    }

    bool Record(PolRecord& record) {
        record.offset = at_;
        if (!Expect(u'[', "\"[\" (the start of a record)")) return false;
        if (!Text(record.key, "key") || !Text(record.value, "value name")) return false;
        if (!Number(record.type, "type") || !Expect(u';', "\";\" after the type")) return false;
        std::uint32_t size = 0;
        const std::size_t sizeAt = at_;
        if (!Number(size, "size") || !Expect(u';', "\";\" after the size")) return false;
        if (size > bytes_.size() - at_) {
            return Fail(sizeAt, "the record's size " + std::to_string(size) +
                                    " runs beyond the end of the file (" +
                                    std::to_string(bytes_.size() - at_) + " bytes are left)");
        }
        record.data.assign(bytes_.substr(at_, size));
        at_ += size;
        if (!Expect(u']', "\"]\" (the end of the record)")) return false;
        record.length = at_ - record.offset;
        return true;
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::string error_;
};

}  // namespace

Result<std::vector<PolRecord>> ReadPol(std::string_view bytes) {
    return Reader(bytes).Run();
}

std::string PolHeader() {
    std::string out(kSignature);
    PutLe32(out, kVersion);
    return out;
}

std::string EncodeRecord(std::string_view key, std::string_view value, std::uint32_t type,
                         std::string_view data) {
    std::string out;
    PutUnit(out, u'[');
    out += Utf16Bytes(key, ByteOrder::Little);
    PutUnit(out, 0);
    PutUnit(out, u';');
    out += Utf16Bytes(value, ByteOrder::Little);
    PutUnit(out, 0);
    PutUnit(out, u';');
    PutLe32(out, type);
    PutUnit(out, u';');
    PutLe32(out, static_cast<std::uint32_t>(data.size()));
    PutUnit(out, u';');
    out += data;
    PutUnit(out, u']');
    return out;
}

bool IsDeletion(const PolRecord& record) {
    return StartsWithNoCase(record.value, kDeletePrefix);
}

std::string_view DriveValueOf(const PolRecord& record) {
    if (!EqualNoCase(record.key, kExplorerPoliciesKey)) return {};
    std::string_view name = record.value;
    if (IsDeletion(record)) name.remove_prefix(kDeletePrefix.size());
    if (EqualNoCase(name, kNoDrivesValue)) return kNoDrivesValue;
    if (EqualNoCase(name, kNoViewOnDriveValue)) return kNoViewOnDriveValue;
    return {};
}

namespace {

// The semicolon-separated list of a record's REG_SZ data, each name with its blanks trimmed.
std::vector<std::string> ListOf(const PolRecord& r) {
    std::u16string units = UnitsOf(r.data, ByteOrder::Little);
    units.resize(std::min(units.find(u'\0'), units.size()));
    const std::string list = Utf8Of(units);
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t semi = std::min(list.find(';', at), list.size());
        names.emplace_back(TrimBlanks(std::string_view(list).substr(at, semi - at)));
        at = semi + 1;
    }
    return names;
}

// Does deleting `key` (and everything below it, as a key deletion does) take the Explorer
// policies key with it? The list names keys from the root of the hive, as the editor writes it.
bool DeletesExplorerKey(std::string_view key) {
    while (!key.empty() && key.front() == '\\')
        key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\')
        key.remove_suffix(1);
    const std::string_view explorer = kExplorerPoliciesKey;
    return !key.empty() && key.size() <= explorer.size() &&
           EqualNoCase(explorer.substr(0, key.size()), key) &&
           (key.size() == explorer.size() || explorer[key.size()] == '\\');
}

// What kind of wholesale deletion a record is, as show names it: "**delvals." (every value of its
// key), "**DeleteValues" (the values its REG_SZ data lists, separated by ";") or "**DeleteKeys"
// (the keys it lists, with their subkeys); empty for any other record. ("**SecureKey" changes a
// key's permissions and deletes nothing.)
std::string_view WipeKind(const PolRecord& r) {
    const std::string_view value = TrimBlanks(r.value);
    if (EqualNoCase(value, "**DeleteKeys")) return "**DeleteKeys";
    if (!EqualNoCase(r.key, kExplorerPoliciesKey)) return {};
    if (EqualNoCase(value, "**delvals.") || EqualNoCase(value, "**delvals")) return "**delvals.";
    if (EqualNoCase(value, "**DeleteValues")) return "**DeleteValues";
    return {};
}

// The drive values that such a record deletes.
std::vector<std::string_view> WipedDriveValues(const PolRecord& r) {
    const std::string_view kind = WipeKind(r);
    std::vector<std::string_view> names;
    if (kind == "**delvals.") return {kNoDrivesValue, kNoViewOnDriveValue};
    if (kind == "**DeleteKeys") {
        for (const std::string& key : ListOf(r))
            if (DeletesExplorerKey(key)) return {kNoDrivesValue, kNoViewOnDriveValue};
    }
    if (kind != "**DeleteValues") return names;
    for (const std::string& one : ListOf(r))
        for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue})
            if (EqualNoCase(one, name)) names.push_back(name);
    return names;
}

}  // namespace

std::vector<AppliedValue> AppliedDriveValues(const std::vector<PolRecord>& records) {
    std::vector<AppliedValue> applied;
    auto apply = [&](std::string_view name, std::size_t index, std::string_view deletedBy) {
        for (AppliedValue& a : applied) {
            if (a.name == name) {
                a = {name, index, deletedBy};
                return;
            }
        }
        applied.push_back({name, index, deletedBy});
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PolRecord& r = records[i];
        for (std::string_view name : WipedDriveValues(r))
            apply(name, i, WipeKind(r));
        if (const std::string_view name = DriveValueOf(r); !name.empty())
            apply(name, i, IsDeletion(r) ? kDeletePrefix : std::string_view());
    }
    return applied;
}

std::optional<std::uint32_t> DwordOf(const PolRecord& record) {
    if (record.type != kRegDword || record.data.size() != 4) return std::nullopt;
    return Le32(record.data, 0);
}

Result<std::string> EditDriveValues(const std::optional<std::string>& existing, std::uint32_t mask,
                                    DrivePolicy policy, PolAction action) {
    std::vector<PolRecord> records;
    if (existing) {
        auto read = ReadPol(*existing);
        if (!read) return read.failure();
        records = std::move(read.value());
    }
    // The record each chosen value gets, empty when it is to go.
    auto recordFor = [&](std::string_view name) -> std::string {
        switch (action) {
            case PolAction::Set: {
                std::string data;
                PutLe32(data, mask);
                return EncodeRecord(kExplorerPoliciesKey, name, kRegDword, data);
            }
            case PolAction::Disable: {
                // The editor's own form: a one-blank REG_SZ under the prefixed name.
                std::string data;
                PutUnit(data, u' ');
                PutUnit(data, 0);
                return EncodeRecord(kExplorerPoliciesKey,
                                    std::string(kDeletePrefix) + std::string(name), kRegSz, data);
            }
            case PolAction::Remove:
                break;
        }
        return {};
    };
    // A value's record may only stand after the last record that wipes it ("**delvals.", a
    // "**DeleteValues" naming it, a "**DeleteKeys" naming its key or a parent): the client applies
    // the records in order, so a value set before such a record would be deleted again.
    struct Slot {
        std::string_view name;
        bool chosen;
        std::size_t lastWipe = 0;  // 0: none; else the index of that record plus one
        bool placed = false;
    };
    std::array<Slot, 2> slots{
        {{kNoDrivesValue, SetsNoDrives(policy)}, {kNoViewOnDriveValue, SetsNoViewOnDrive(policy)}}};
    for (std::size_t i = 0; i < records.size(); ++i)
        for (std::string_view name : WipedDriveValues(records[i]))
            for (Slot& s : slots)
                if (s.name == name) s.lastWipe = i + 1;
    std::string out = existing ? existing->substr(0, kHeaderSize) : PolHeader();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PolRecord& record = records[i];
        const std::string_view value = DriveValueOf(record);
        Slot* slot = nullptr;
        for (Slot& s : slots)
            if (s.chosen && s.name == value) slot = &s;
        if (slot == nullptr) {
            out.append(*existing, record.offset, record.length);
        } else if (!slot->placed && i >= slot->lastWipe) {
            out += recordFor(slot->name);
            slot->placed = true;
        }
        for (Slot& s : slots) {
            if (s.chosen && !s.placed && s.lastWipe == i + 1) {
                out += recordFor(s.name);
                s.placed = true;
            }
        }
    }
    for (Slot& s : slots)
        if (s.chosen && !s.placed) out += recordFor(s.name);
    return out;
}

}  // namespace tarnwick::regpol
