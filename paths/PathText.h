// Path texts as administrators type or paste them, made into the absolute paths that generation
// uses and that every message shows. One function for the window's boxes and the command line.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/Text.h"

namespace tarnwick {

// Without surrounding blanks (spaces and tabs) and one pair of double quotes around the rest, as
// Explorer's "Copy as path" adds them; a Windows path never holds a quote itself.
std::string CleanPathText(std::string_view typed);

enum class PathStyle { Posix, Windows };

// What a relative path is resolved against.
struct PathBase {
    PathStyle style = PathStyle::Posix;
    std::string currentFolder;  // absolute
    // Windows: the current folder of a drive other than the current one (as "C:system.adm"
    // needs), or empty text when it has none, which means its root.
    std::function<std::string(char drive)> driveFolder;
    // POSIX: the path without links, "." or ".." of an existing folder, or empty text when it
    // cannot be found; none resolves ".." by the text alone.
    std::function<std::string(const std::string& folder)> realFolder = nullptr;
};

// `path` made absolute against `base`. Windows paths follow GetFullPathNameW: "/" becomes "\",
// a drive-relative "C:x" is taken against that drive's current folder, "\x" against the current
// drive's root, runs of separators, "." and ".." segments are resolved, and trailing dots and
// spaces leave the last segment; "\\?\" paths are left alone. POSIX paths are joined to the
// current folder, and "." segments and repeated "/" are dropped; a ".." is resolved as the system
// would (it may follow a link) through the longest part before it that exists, then by the text.
// Empty text stays empty, and so does everything when the current folder is unknown.
std::string AbsolutePath(const std::string& path, const PathBase& base);

// This process's base: its current folder, and on Windows its drives' current folders.
PathBase CurrentPathBase();

// A typed path as generation takes it: cleaned, then absolute against the current folder.
std::string PathFromText(std::string_view typed);

// True when `path` names a folder, asked through the current file layer (which tests can fake).
bool IsFolder(const std::string& path);

}  // namespace tarnwick
