#include "fileio/Leftovers.h"

#include <cctype>
#include <string_view>

#include "core/Text.h"
#include "fileio/Platform.h"
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

}  // namespace

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

void ClearLeftovers(const std::string& target, bool all) {
    const std::size_t slash = target.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    Platform& platform = NativePlatform();
    const auto names = platform.ListFolder(folder);
    if (!names) return;
    for (const std::string& entry : *names) {
        const std::string middle = TempMiddle(name, entry);
        std::uint32_t id = 0;
        if (middle.empty()) continue;
        if (!all && (!OwnHostsProcess(middle, id) || !ProcessEnded(id))) continue;
        (void)platform.Remove(JoinPath(folder, entry));
    }
}

}  // namespace tarnwick::fileio
