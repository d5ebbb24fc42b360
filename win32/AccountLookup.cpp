#include "win32/AccountLookup.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "win32/SystemError.h"
#include "win32/SystemFolder.h"
#include "win32/WideText.h"

namespace tarnwick::win32 {

namespace {

using LookupFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, PSID, LPDWORD, LPWSTR, LPDWORD, PSID_NAME_USE);
using ToTextFn = BOOL(WINAPI*)(PSID, LPWSTR*);
using BySidFn = BOOL(WINAPI*)(LPCWSTR, PSID, LPWSTR, LPDWORD, LPWSTR, LPDWORD, PSID_NAME_USE);

template <typename F>
F Find(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool IsGroup(SID_NAME_USE use) {
    // Domain groups, local groups (aliases such as BUILTIN\Administrators) and the well-known
    // groups (Everyone, Authenticated Users) are all matched by membership.
    return use == SidTypeGroup || use == SidTypeAlias || use == SidTypeWellKnownGroup;
}

}  // namespace

AccountSid SidOfAccount(const std::string& name, bool group) {
    AccountSid answer;
    const std::optional<std::wstring> wide = Utf8ToWide(name);
    if (!wide || wide->empty()) {
        answer.problem = "it is empty or not valid text.";
        return answer;
    }
    // advapi32 is loaded only by the command that looks a name up.
    HMODULE advapi = LoadSystemLibrary(L"advapi32.dll");
    const auto lookup = advapi ? Find<LookupFn>(advapi, "LookupAccountNameW") : nullptr;
    const auto toText = advapi ? Find<ToTextFn>(advapi, "ConvertSidToStringSidW") : nullptr;
    if (!lookup || !toText) {
        answer.problem =
            "the system's account look-up is not available (" + LastError().text + ").";
        return answer;
    }
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    std::vector<wchar_t> domain(256);
    DWORD sidSize = static_cast<DWORD>(sid.size()), domainSize = static_cast<DWORD>(domain.size());
    SID_NAME_USE use = SidTypeUnknown;
    BOOL found =
        lookup(nullptr, wide->c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use);
    if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        sid.resize(sidSize);
        domain.resize(domainSize);
        found =
            lookup(nullptr, wide->c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use);
    }
    if (!found) {
        answer.problem = GetLastError() == ERROR_NONE_MAPPED
                             ? "no such account is known to this computer or its domain."
                             : "the look-up failed: " + LastError().text;
        return answer;
    }
    // The account's own name, after its domain's, as the system spells both: the look-up by name
    // hands back the name as typed, the look-up by SID the one stored.
    std::wstring account = wide->substr(wide->find_last_of(L'\\') + 1);
    wchar_t stored[256] = {}, storedDomain[256] = {};
    DWORD storedSize = 256, storedDomainSize = 256;
    SID_NAME_USE storedUse = SidTypeUnknown;
    const auto bySid = Find<BySidFn>(advapi, "LookupAccountSidW");
    if (bySid && bySid(nullptr, sid.data(), stored, &storedSize, storedDomain, &storedDomainSize,
                       &storedUse)) {
        account = stored;
        domain.assign(storedDomain, storedDomain + storedDomainSize + 1);
    }
    const std::wstring domainName(domain.data());
    answer.name = Narrow(domainName.empty() ? account : domainName + L"\\" + account);
    const bool user = use == SidTypeUser;
    if (group ? !IsGroup(use) : !user) {
        answer.problem = answer.name + " is " +
                         (group ? (user ? "a user, not a group." : "no group.")
                                : (IsGroup(use) ? "a group, not a user." : "no user."));
        return answer;
    }
    wchar_t* text = nullptr;
    if (!toText(sid.data(), &text)) {
        answer.problem = "its SID cannot be written as text: " + LastError().text;
        return answer;
    }
    answer.sid = Narrow(text);
    LocalFree(text);
    return answer;
}

}  // namespace tarnwick::win32
