// An independent structural check of a policy-definition pair (ADMX and ADML), for every test that
// makes one: it parses both files and lists what a Group Policy editor would stumble on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::test {

struct ExpectedItem {
    std::string id;    // the item's string id
    std::string text;  // its display text
    std::uint32_t mask;
};

// The problems found; empty when the pair is sound and both policies offer exactly `items`, in
// order: each file UTF-8 with an XML declaration and CR LF line ends, well-formed; every
// $(string.x) and $(presentation.x) of the ADMX resolves in the ADML; names and ids are letters,
// digits and underscores; each policy has its class, key, category and one required enum whose
// id its dropdownList refers to; the item values are the masks.
std::vector<std::string> CheckPolicyPair(const std::string& admx, const std::string& adml,
                                         const std::vector<ExpectedItem>& items);

}  // namespace tarnwick::test
