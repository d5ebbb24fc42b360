// Registry.pol, the file in which a policy object keeps its registry settings: the signature
// "PReg", version 1, then records "[key;value;type;size;data]" whose brackets, semicolons and
// texts are UTF-16LE code units and whose type and size are 32-bit little-endian numbers.
// Only the drive values are ever changed; every other record is kept byte for byte and in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"

namespace tarnwick::regpol {

// The prefix of a value name that tells the client to delete the value: what the Group Policy
// editor writes for a policy set to "Disabled".
inline constexpr std::string_view kDeletePrefix = "**del.";

struct PolRecord {
    std::string key;    // UTF-8
    std::string value;  // UTF-8
    std::uint32_t type = 0;
    std::string data;        // as stored
    std::size_t offset = 0;  // of its "[" in the file
    std::size_t length = 0;  // through its "]"
};

// The records of a whole file, or why it is no Registry.pol, with the byte offset where it went
// wrong. Files above kMaxInputBytes are refused before they are looked at.
Result<std::vector<PolRecord>> ReadPol(std::string_view bytes);

// The eight bytes every Registry.pol starts with.
std::string PolHeader();

// One record as the file stores it. `key` and `value` are UTF-8.
std::string EncodeRecord(std::string_view key, std::string_view value, std::uint32_t type,
                         std::string_view data);

// Is this record one of the drive values (set or deleted) under the Explorer policies key, and
// which: kNoDrivesValue or kNoViewOnDriveValue; empty for any other record.
std::string_view DriveValueOf(const PolRecord& record);
// The number of a REG_DWORD record.
std::optional<std::uint32_t> DwordOf(const PolRecord& record);
bool IsDeletion(const PolRecord& record);

// A drive value as the client leaves it after applying the records in order: the last record that
// set or deleted it. Deletions are "**del.NAME", "**delvals." (every value of the key),
// "**DeleteValues" (its REG_SZ data a list of names, separated by ";") and, under any key,
// "**DeleteKeys" whose list names the Explorer policies key or one of its parents.
struct AppliedValue {
    std::string_view name;       // kNoDrivesValue or kNoViewOnDriveValue
    std::size_t record = 0;      // the index of that record
    std::string_view deletedBy;  // empty when the record sets the value, else its kind ("**del.")
};
// In the order of their first record; a value no record touches is not listed.
std::vector<AppliedValue> AppliedDriveValues(const std::vector<PolRecord>& records);

enum class PolAction {
    Set,      // the policy enabled with the mask
    Remove,   // "Not configured": its records go
    Disable,  // "Disabled": the deletion record the editor writes
};

// `existing` (none: no file yet) with the records of the values `policy` names made what `action`
// asks: the first record of each such value is replaced in its place, any further ones dropped, and
// a missing one added at the end. Where a "**delvals.", "**DeleteValues" or "**DeleteKeys" record
// would delete the value after its place, the new record goes right after the last such record
// instead, so that the value applies as written. Every other record keeps its bytes and its order.
Result<std::string> EditDriveValues(const std::optional<std::string>& existing, std::uint32_t mask,
                                    DrivePolicy policy, PolAction action);

}  // namespace tarnwick::regpol
