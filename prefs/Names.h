// The names typed for an item's targeting, checked and brought to one form: an OU's distinguished
// name and a user's DOMAIN\name. The client compares an OU's name with the user's place in the
// directory, so it is written as the directory writes it; and the same audience typed two ways
// (" OU=x" and "OU=x") gives one item.
#pragma once

#include <string>
#include <string_view>

#include "core/Result.h"

namespace tarnwick::prefs {

// An OU's distinguished name (RFC 4514) as OU=...[,OU=...],DC=...[,DC=...]: attribute types in
// upper case, no blanks around the separators, each value with the escapes it needs and no other.
// Refused with the reason: a missing or empty part, the old ';' separator, a part of several
// values ("OU=a+CN=b"), a container (CN=Users) or anything but OUs under a domain.
Result<std::string> NormalOuName(std::string_view text);

// DOMAIN\name without blanks around either part; refused when it is not of that form (a sign-in
// name user@domain included) or has characters Windows refuses in a domain or account name.
Result<std::string> NormalAccountName(std::string_view text);

}  // namespace tarnwick::prefs
