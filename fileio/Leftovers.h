// Temporary and backup files that a killed run left beside its output, and their removal. Every
// temporary name carries its writer, ".<name>.<host>.<p|w><process id>.<16 hex>.trnw-tmp" (p: a
// POSIX process, w: a Windows one, Wine's included), so that a later run can tell which writers
// have ended without touching another computer's or a live process's file.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::fileio {

// "<host>.<p|w><process id>" of this process: the host's first name label, in lower case, with
// only letters, digits and '-'.
std::string WriterTag();

// The writer part of a temporary or backup name beside `target` ("<host>.<p|w><id>.<hex>" or, as
// older runs named them, "<hex>"); empty when `name` is none of them.
std::string TempMiddle(const std::string& targetName, const std::string& name);

// Removes the temporary and backup files of `target` that ended runs left: with `all` every one
// (the caller holds the lock that every writer of `target` takes), otherwise only those written on
// this host by a process of this system that has ended. What cannot be removed stays; nothing
// else is touched. Goes to the system directly: a leftover that stays changes no outcome.
void ClearLeftovers(const std::string& target, bool all);

// Whether the folder lets files be added but none renamed or removed (Linux's append-only or
// immutable attribute, chattr +a or +i), so that no file there can be replaced; false where the
// system has no such thing or cannot tell.
bool FolderAppendOnly(const std::string& folder);

// True when no process of this system has the identifier now.
bool ProcessEnded(std::uint32_t id);
// This computer's name, as the system gives it.
std::string HostName();

}  // namespace tarnwick::fileio
