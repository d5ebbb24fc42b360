#include "win32/AccountLookup.h"

#include <windows.h>

#include <optional>

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
    // A SID is never longer than SECURITY_MAX_SID_SIZE, nor a domain's name than a DNS name.
    BYTE sid[SECURITY_MAX_SID_SIZE];
    wchar_t domain[256], account[256];
    DWORD sidSize = sizeof sid, domainSize = 256, accountSize = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!lookup(nullptr, wide->c_str(), sid, &sidSize, domain, &domainSize, &use)) {
        answer.problem = GetLastError() == ERROR_NONE_MAPPED
                             ? "no such account is known to this computer or its domain."
                             : "the look-up failed: " + LastError().text;
        return answer;
    }
    // The look-up by name hands back the name as typed; the look-up by SID gives both names as
    // the system stores them.
    SID_NAME_USE stored = SidTypeUnknown;
    domainSize = 256;
    const auto bySid = Find<BySidFn>(advapi, "LookupAccountSidW");
    if (bySid && bySid(nullptr, sid, account, &accountSize, domain, &domainSize, &stored)) {
        answer.name =
            Narrow(domain[0] == 0 ? std::wstring(account) : std::wstring(domain) + L"\\" + account);
    } else {
        answer.name = name;
    }
    const bool user = use == SidTypeUser;
    if (group ? !IsGroup(use) : !user) {
        answer.problem = answer.name + " is " +
                         (group ? (user ? "a user, not a group." : "no group.")
                                : (IsGroup(use) ? "a group, not a user." : "no user."));
        return answer;
    }
    wchar_t* text = nullptr;
    if (!toText(sid, &text)) {
        answer.problem = "its SID cannot be written as text: " + LastError().text;
        return answer;
    }
    answer.sid = Narrow(text);
    LocalFree(text);
    return answer;
}

}  // namespace tarnwick::win32
