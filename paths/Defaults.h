// The default paths: the window's, derived from the `windir` environment variable at start-up, and
// tarnwick-cli's output beside its source. Both name the new template after the source with
// "_TRNW.adm" in place of what follows a cut; they differ only in where they cut.
#pragma once

#include <string>

namespace tarnwick {

// `windir` + "\inf\system.adm"; an unset `windir` is passed as empty text.
std::string DefaultSourcePath(const std::string& windir);

// The window's: the source text up to (excluding) its FIRST "." anywhere, followed by
// "_TRNW.adm", so a folder with a dot, C:\WIN.NT\inf\system.adm, gives C:\WIN_TRNW.adm. A text
// without any "." (never the case for DefaultSourcePath's result) keeps all of it.
std::string DefaultNewPath(const std::string& sourcePath);

// tarnwick-cli's: in the source's folder, the source's file name with its extension (from the
// last "." of the name) replaced by "_TRNW.adm", so a dot in a folder name is left alone:
// /srv/adm.d/system.adm gives /srv/adm.d/system_TRNW.adm. A name without an extension, or one
// whose only "." leads it (".adm"), gets "_TRNW.adm" appended. Both "/" and "\" separate folders.
std::string DefaultOutputPath(const std::string& source);

}  // namespace tarnwick
