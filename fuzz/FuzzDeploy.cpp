// libFuzzer target over the readers of the deployed forms: Registry.pol (and the merge of the
// drive values into it), gpt.ini, .reg, the Samba JSON and the Intune scripts. The first byte
// chooses the reader and, for the merge, the mask and the values; the rest is the file. Every run
// checks that
//   - a Registry.pol that reads is tiled exactly by its records from byte 8 to its end, a refusal
//     names a byte within the file, and the merge re-reads with every other record unchanged and
//     in order and each chosen value once,
//   - a gpt.ini edit moves the version it reads back by exactly 65,536, keeps the UTF-8 mark, and
//     reads again as one [General] with one Version,
//   - a merge that sets the values leaves each one applied with the mask, whatever deletion
//     records ("**delvals.", "**DeleteValues", "**DeleteKeys", "**del.") the file holds,
//   - the .reg, JSON and Intune script readers list only NoDrives and NoViewOnDrive, the .reg and
//     JSON readers each once per hive or class,
//   - a name found in a folder is taken for a leftover of a target only when it is exactly the
//     temporary or backup name a writer of that target makes, and a set's journal that reads is
//     written again as the same entries.
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/Leftovers.h"
#include "fileio/mdlAPIFiles.h"
#include "readback/IntuneScriptReader.h"
#include "readback/RegReader.h"
#include "readback/SambaJsonReader.h"
#include "regpol/GptIni.h"
#include "regpol/PolFile.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "== tarnwick fuzz finding: %s\n", what.c_str());
    std::abort();
}

void CheckPol(std::string_view bytes, std::uint8_t selector) {
    const auto read = regpol::ReadPol(bytes);
    if (!read) {
        const std::string& message = read.failure().message;
        if (message.rfind("byte ", 0) != 0) Finding("a refusal without its byte: " + message);
        if (std::stoull(message.substr(5)) > bytes.size()) Finding("a refusal beyond the file");
        return;
    }
    std::size_t at = 8;
    for (const auto& record : *read) {
        if (record.offset != at) Finding("records do not tile the file");
        at += record.length;
    }
    if (at != bytes.size()) Finding("the records end before the file");
    for (const auto& applied : regpol::AppliedDriveValues(*read)) {
        if (applied.record >= read->size() ||
            (applied.name != kNoDrivesValue && applied.name != kNoViewOnDriveValue)) {
            Finding("an applied value outside the records");
        }
    }

    const auto policy = static_cast<DrivePolicy>((selector >> 2) % 3);
    const auto action = static_cast<regpol::PolAction>((selector >> 4) % 3);
    const std::uint32_t mask = selector * 0x1234u & kAllDrivesMask;
    const auto merged = regpol::EditDriveValues(std::string(bytes), mask, policy, action);
    if (!merged) Finding("a file that reads does not merge");
    const auto again = regpol::ReadPol(*merged);
    if (!again) Finding("the merged file does not read: " + again.failure().message);
    std::size_t other = 0;
    int drives[2] = {0, 0};
    for (const auto& record : *again) {
        const std::string_view value = regpol::DriveValueOf(record);
        const bool chosen = (value == kNoDrivesValue && SetsNoDrives(policy)) ||
                            (value == kNoViewOnDriveValue && SetsNoViewOnDrive(policy));
        if (chosen) {
            ++drives[value == kNoDrivesValue ? 0 : 1];
            continue;
        }
        while (other < read->size() && [&] {
            const std::string_view v = regpol::DriveValueOf((*read)[other]);
            return (v == kNoDrivesValue && SetsNoDrives(policy)) ||
                   (v == kNoViewOnDriveValue && SetsNoViewOnDrive(policy));
        }()) {
            ++other;
        }
        if (other >= read->size() ||
            merged->compare(record.offset, record.length,
                            bytes.substr((*read)[other].offset, (*read)[other].length)) != 0) {
            Finding("another record changed or moved in the merge");
        }
        ++other;
    }
    const int wanted = action == regpol::PolAction::Remove ? 0 : 1;
    if ((SetsNoDrives(policy) && drives[0] != wanted) ||
        (SetsNoViewOnDrive(policy) && drives[1] != wanted)) {
        Finding("a chosen value is not there exactly as often as asked");
    }
    if (action != regpol::PolAction::Set) return;
    for (const auto& applied : regpol::AppliedDriveValues(*again)) {
        const bool chosen =
            applied.name == kNoDrivesValue ? SetsNoDrives(policy) : SetsNoViewOnDrive(policy);
        if (chosen &&
            (!applied.deletedBy.empty() || regpol::DwordOf((*again)[applied.record]) != mask)) {
            Finding("a value set by the merge does not apply as written");
        }
    }
}

// "<target name>\n<name in its folder>"
void CheckLeftoverName(std::string_view input) {
    const std::size_t cut = input.find('\n');
    if (cut == std::string_view::npos) return;
    const std::string target(input.substr(0, cut)), name(input.substr(cut + 1));
    const std::string middle = fileio::TempMiddle(target, name);
    if (middle.empty()) return;
    const std::string made = fileio::TempNameStart(target) + middle + fileio::kTempSuffix;
    if (name != made && name != made + "-old") Finding("a name not made by a writer: " + name);
}

// A journal that reads is written again as the same entries.
void CheckJournal(std::string_view input) {
    const std::string folder = "/gpo";
    const auto entries = fileio::ReadJournal(folder, input);
    if (entries && fileio::ReadJournal(folder, fileio::JournalText(folder, *entries)) != entries)
        Finding("a journal does not read back as written");
}

void CheckGpt(std::string_view bytes) {
    const auto edit = regpol::MoveUserVersion(std::string(bytes), bytes.size() % 2 == 0);
    if (!edit) return;
    if (edit->newVersion - edit->oldVersion != regpol::kUserVersionStep) Finding("a wrong step");
    if (regpol::GptVersion(bytes).value_or(0) != edit->oldVersion) Finding("two version readings");
    if (regpol::GptVersion(edit->text) != edit->newVersion)
        Finding("the new version reads back wrong");
    if ((bytes.substr(0, 3) == "\xEF\xBB\xBF") != (edit->text.substr(0, 3) == "\xEF\xBB\xBF"))
        Finding("the UTF-8 mark was not kept");
    // The edit reads as one [General] with one Version, so a second move goes on from it.
    const auto again = regpol::MoveUserVersion(edit->text, false);
    if ((edit->newVersion >> 16) != 0xFFFF && (!again || again->oldVersion != edit->newVersion))
        Finding("the edit does not edit again");
}

// The hive or class is the Where text up to the last `cut`; none: a value may be listed again.
void CheckFound(const Result<std::vector<FoundValue>>& found, const char* cut) {
    if (!found) return;
    std::vector<std::string> seen;
    for (const auto& value : *found) {
        if (value.valueName != kNoDrivesValue && value.valueName != kNoViewOnDriveValue) {
            Finding("listed " + value.valueName);
        }
        if (cut == nullptr) continue;
        seen.push_back(value.valueName + "\n" + value.where.substr(0, value.where.rfind(cut)));
        if (std::count(seen.begin(), seen.end(), seen.back()) > 1) {
            Finding("listed twice: " + value.valueName + " in " + value.where);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] & 3) {
        case 0:
            CheckPol(input, data[0]);
            break;
        case 1:
            CheckGpt(input);
            break;
        case 2:
            if (data[0] & 0x80)
                (data[0] & 0x40) ? CheckJournal(input) : CheckLeftoverName(input);
            else
                CheckFound(readback::ReadRegFile(input), " (");
            break;
        default:
            CheckFound(
                data[0] & 0x80 ? readback::ReadIntuneScript(input) : readback::ReadSambaJson(input),
                data[0] & 0x80 ? nullptr : ", entry ");
            break;
    }
    return 0;
}
