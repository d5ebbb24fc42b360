#include "paths/PathText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/Text.h"
#include "fileio/Platform.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/WideText.h"
#else
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#endif

namespace tarnwick {

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasDrive(std::string_view path) {
    return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':';
}

// "\\server\share" of a UNC path (separators already "\"), or the whole text when it has no share.
std::size_t UncRootLength(std::string_view path) {
    std::size_t at = path.find('\\', 2);
    if (at == std::string_view::npos) return path.size();
    at = path.find('\\', at + 1);
    return at == std::string_view::npos ? path.size() : at;
}

std::size_t WindowsRootLength(std::string_view path) {
    if (path.starts_with("\\\\")) return UncRootLength(path);
    return HasDrive(path) ? 2 : 0;
}

// Resolves the segments after an absolute Windows path's root.
std::string NormaliseWindows(const std::string& path) {
    const std::size_t rootLength = WindowsRootLength(path);
    std::vector<std::string_view> segments;
    std::string_view rest = std::string_view(path).substr(rootLength);
    const bool endsInSeparator = !rest.empty() && rest.back() == '\\';
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        std::string_view segment = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (segment.empty() || segment == ".") continue;
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            continue;
        }
        // A segment's one trailing dot goes ("a." is "a"); "a.." is a name.
        if (segment.size() >= 2 && segment.back() == '.' && segment[segment.size() - 2] != '.') {
            segment.remove_suffix(1);
        }
        segments.push_back(segment);
    }
    std::string result = path.substr(0, rootLength);
    for (const std::string_view segment : segments) {
        result += '\\';
        result += segment;
    }
    if (endsInSeparator || segments.empty()) {
        result += '\\';
    } else {
        while (result.back() == '.' || result.back() == ' ')
            result.pop_back();
    }
    return result;
}

std::string JoinWindows(const std::string& folder, std::string_view path) {
    if (!folder.empty() && folder.back() == '\\') return folder + std::string(path);
    return folder + "\\" + std::string(path);
}

std::string AbsoluteWindowsPath(std::string path, const PathBase& base) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) return path;
    std::string current = base.currentFolder;
    for (char& c : current) {
        if (c == '/') c = '\\';
    }
    if (path.starts_with("\\\\")) return NormaliseWindows(path);
    if (HasDrive(path) && path.size() > 2 && path[2] == '\\') {
        path[0] = UpperAscii(path[0]);
        return NormaliseWindows(path);
    }
    if (HasDrive(path)) {  // drive-relative: "C:x"
        const char drive = UpperAscii(path[0]);
        std::string folder;
        if (HasDrive(current) && UpperAscii(current[0]) == drive) {
            folder = current;
        } else if (base.driveFolder) {
            folder = base.driveFolder(drive);
        }
        if (folder.empty()) folder = std::string(1, drive) + ":\\";
        return NormaliseWindows(JoinWindows(folder, std::string_view(path).substr(2)));
    }
    if (path.starts_with("\\")) {  // the current drive's root
        return NormaliseWindows(current.substr(0, WindowsRootLength(current)) + path);
    }
    return NormaliseWindows(JoinWindows(current, path));
}

std::vector<std::string> PosixSegments(std::string_view path) {
    std::vector<std::string> segments;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find('/'), path.size());
        const std::string_view segment = path.substr(0, end);
        path.remove_prefix(std::min(end + 1, path.size()));
        if (!segment.empty() && segment != ".") segments.emplace_back(segment);
    }
    return segments;
}

std::string JoinPosix(const std::vector<std::string>& segments, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i)
        result += "/" + segments[i];
    return result;
}

std::string AbsolutePosixPath(const std::string& path, const PathBase& base) {
    const std::string joined = path.starts_with('/') ? path : base.currentFolder + "/" + path;
    const std::vector<std::string> segments = PosixSegments(joined);
    const auto lastUp = std::find(segments.rbegin(), segments.rend(), "..");
    std::vector<std::string> resolved;
    std::size_t next = 0;
    if (lastUp != segments.rend() && base.realFolder) {
        // "a/link/.." is where the link leads, up one: the system's reading, not the text's.
        for (std::size_t count = static_cast<std::size_t>(segments.rend() - lastUp); count > 0;
             --count) {
            const std::string real = base.realFolder(JoinPosix(segments, count));
            if (real.empty()) continue;
            resolved = PosixSegments(real);
            next = count;
            break;
        }
    }
    for (; next < segments.size(); ++next) {
        if (segments[next] != "..") {
            resolved.push_back(segments[next]);
        } else if (!resolved.empty()) {
            resolved.pop_back();
        }
    }
    std::string result = JoinPosix(resolved, resolved.size());
    if (result.empty() || joined.back() == '/') result += '/';
    return result;
}

}  // namespace

std::string CleanPathText(std::string_view typed) {
    std::string_view text = TrimBlanks(typed);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = TrimBlanks(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}

std::string AbsolutePath(const std::string& path, const PathBase& base) {
    // Without a current folder (it was removed, or cannot be read) nothing can be resolved.
    if (path.empty() || base.currentFolder.empty()) return path;
    return base.style == PathStyle::Windows ? AbsoluteWindowsPath(path, base)
                                            : AbsolutePosixPath(path, base);
}

#ifdef _WIN32

PathBase CurrentPathBase() {
    PathBase base;
    base.style = PathStyle::Windows;
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (length >= folder.size()) {
        folder.resize(length);
        length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    }
    folder.resize(length < folder.size() ? length : 0);
    base.currentFolder = win32::Narrow(folder);
    // The command processor keeps each drive's current folder in the hidden variable "=C:".
    base.driveFolder = [](char drive) {
        const wchar_t name[] = {L'=', static_cast<wchar_t>(drive), L':', L'\0'};
        std::wstring value(MAX_PATH, L'\0');
        DWORD got = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (got >= value.size()) {
            value.resize(got);
            got = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        }
        value.resize(got < value.size() ? got : 0);
        return win32::Narrow(value);
    };
    return base;
}

#else

PathBase CurrentPathBase() {
    PathBase base;
    std::string folder(256, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return base;
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    base.currentFolder = folder;
    base.realFolder = [](const std::string& path) -> std::string {
        const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                               &std::free);
        return real ? real.get() : "";
    };
    return base;
}

#endif

std::string PathFromText(std::string_view typed) {
    return AbsolutePath(CleanPathText(typed), CurrentPathBase());
}

bool IsFolder(const std::string& path) {
    if (path.empty()) return false;
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(path);
    return attributes && (*attributes & fileio::kAttrDirectory) != 0;
}

}  // namespace tarnwick
