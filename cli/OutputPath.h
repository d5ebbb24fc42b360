// tarnwick-cli's default output path. Unlike the window's rule (generate/Defaults.h: cut the whole
// path text at its first "."), only the file name's extension is replaced, so a dot in a folder
// name is left alone: /srv/adm.d/system.adm gives /srv/adm.d/system_TRNW.adm.
#pragma once

#include <string>

namespace tarnwick::cli {

// In the source's folder: the source's file name with its extension (from the last "." of the
// name) replaced by "_TRNW.adm"; a name without an extension, or one whose only "." leads it
// (".adm"), gets "_TRNW.adm" appended. Both "/" and "\" separate folders.
std::string DefaultOutputPath(const std::string& source);

}  // namespace tarnwick::cli
