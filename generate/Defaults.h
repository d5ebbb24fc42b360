// The window's default paths, derived from the `windir` environment variable at start-up.
//
// The window cuts the source path at its FIRST "." anywhere in the text (so a folder with a dot,
// C:\WIN.NT\inf\system.adm, gives C:\WIN_TRNW.adm). tarnwick-cli's default output follows its own,
// file-name based rule instead (see cli/OutputPath.h).
#pragma once

#include <string>

namespace tarnwick {

// `windir` + "\inf\system.adm"; an unset `windir` is passed as empty text.
std::string DefaultSourcePath(const std::string& windir);

// The source text up to (excluding) its first "." followed by "_TRNW.adm". A text without any "."
// (never the case for DefaultSourcePath's result) keeps all of it.
std::string DefaultNewPath(const std::string& sourcePath);

}  // namespace tarnwick
