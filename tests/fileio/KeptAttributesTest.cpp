// A file replaced with --force keeps what the administrator or the server set on it: on Linux its
// extended attributes (Samba keeps a share's Windows ACL and DOS attributes in them) and its POSIX
// ACL, on Windows its attributes and ACL. make and reg share the write path; both are run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "tests/support/TestFiles.h"

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#else
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarnwick {
namespace {

using test::TempDir;

#ifdef _WIN32
bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// A DACL of one entry (Everyone: read) stands out against any inherited one.
std::wstring Dacl(const std::string& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(test::FsPath(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS) {
        return L"";
    }
    LPWSTR text = nullptr;
    std::wstring result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
            sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(sd);
    return result;
}

void Mark(const std::string& path) {
    const std::wstring wide = test::FsPath(path).wstring();
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;;FR;;;WD)(A;;FA;;;BA)", SDDL_REVISION_1, &sd, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
    SetNamedSecurityInfoW(const_cast<LPWSTR>(wide.c_str()), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, dacl, nullptr);
    LocalFree(sd);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

void ExpectKept(const std::string& path, const std::wstring& daclBefore) {
    const DWORD attributes = GetFileAttributesW(test::FsPath(path).c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    // Wine keeps a file's ACL in the Unix file's own extended attributes, and its ReplaceFileW
    // renames the new file over the old one, so the ACL goes with the old file there.
    if (!UnderWine()) EXPECT_EQ(Dacl(path), daclBefore);
}
#else
// A POSIX ACL as the kernel stores it: version 2, then (tag, permissions, id) entries in tag
// order. Owner rw, user 4242 r, group r, mask r, others none.
std::string PosixAcl() {
    std::string acl;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            acl.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(2, 4);
    const std::uint32_t none = 0xFFFFFFFF;
    const std::uint32_t entries[][3] = {
        {0x01, 6, none}, {0x02, 4, 4242}, {0x04, 4, none}, {0x10, 4, none}, {0x20, 0, none}};
    for (const auto& entry : entries) {
        put(entry[0], 2), put(entry[1], 2), put(entry[2], 4);
    }
    return acl;
}

struct Attribute {
    std::string name;
    std::string value;
    bool needsRoot;
};

const std::vector<Attribute>& Attributes() {
    static const std::vector<Attribute> attributes = {
        {"user.DOSATTRIB", std::string("0x22\0\3\0\3\0", 10), false},
        {"security.NTACL", std::string("\4\0\4\0\0\0\0\0sd of a SYSVOL file", 27), true},
        {"trusted.tarnwick", "kept", true},
        {"system.posix_acl_access", PosixAcl(), false},
    };
    return attributes;
}

std::string Value(const std::string& path, const std::string& name) {
    std::string value(4096, '\0');
    const ssize_t got = getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return value;
}
#endif

TEST(KeptAttributes, AReplacedFileKeepsWhatWasSetOnIt) {
    const struct {
        std::vector<std::string> args;
    } commands[] = {
        {{"make", "--drives", "CDE", "--source"}},
        {{"reg", "--drives", "CDE"}},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.args.front());
        TempDir dir;
        const std::string source = dir.File("system.adm");
        const std::string target = dir.File("out.file");
        test::WriteAll(source, test::Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\n"));
        test::WriteAll(target, "the administrator's file");
        std::vector<std::string> args = command.args;
        if (args.front() == "make") args.push_back(source);
        for (const char* more : {"--output", target.c_str(), "--force"})
            args.push_back(more);
#ifdef _WIN32
        Mark(target);
        const std::wstring dacl = Dacl(target);
#else
        const bool root = geteuid() == 0;
        for (const Attribute& attribute : Attributes()) {
            if (attribute.needsRoot && !root) continue;
            if (setxattr(target.c_str(), attribute.name.c_str(), attribute.value.data(),
                         attribute.value.size(), 0) != 0) {
                GTEST_SKIP() << "this file system takes no " << attribute.name << ": "
                             << std::strerror(errno);
            }
        }
#endif
        const cli::CliResult result = cli::RunCli(args, "");
        ASSERT_EQ(result.exitCode, cli::kExitDone) << result.err;
        EXPECT_EQ(result.out.rfind("Replaced: " + target + "\n", 0), 0u) << result.out;
        EXPECT_NE(test::ReadAll(target), "the administrator's file");
#ifdef _WIN32
        ExpectKept(target, dacl);
#else
        for (const Attribute& attribute : Attributes()) {
            if (attribute.needsRoot && !root) continue;
            EXPECT_EQ(Value(target, attribute.name), attribute.value) << attribute.name;
        }
#endif
    }
}

}  // namespace
}  // namespace tarnwick
