// A file replaced with --force keeps what the administrator or the server set on it: on Linux its
// extended attributes (Samba keeps a share's Windows ACL and DOS attributes in them) and its POSIX
// ACL, on Windows its attributes. make and reg share the write path; both are run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "tests/support/TestFiles.h"

#ifdef _WIN32
#include <windows.h>

#else
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarnwick {
namespace {

#ifdef _WIN32
// Wine, where these tests run, reports a file's ACL as set but keeps none of its own, so only the
// attributes are checked; ReplaceFileW keeps the ACL on Windows itself.
constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
#else
// A POSIX ACL as the kernel stores it: version 2, then (tag, permissions, id) entries in tag
// order: owner rw, user 4242 r, group r, mask r, others nothing.
const std::string kPosixAcl(
    "\2\0\0\0"
    "\1\0\6\0\xFF\xFF\xFF\xFF\2\0\4\0\x92\x10\0\0"
    "\4\0\4\0\xFF\xFF\xFF\xFF\x10\0\4\0\xFF\xFF\xFF\xFF"
    "\x20\0\0\0\xFF\xFF\xFF\xFF",
    44);

// Name, value, and whether only root may set it.
const std::vector<std::tuple<std::string, std::string, bool> > kAttributes = {
    {"user.DOSATTRIB", std::string("0x22\0\3\0\3\0", 10), false},
    {"security.NTACL", std::string("\4\0\4\0\0\0\0\0sd of a SYSVOL file", 27), true},
    {"trusted.tarnwick", "kept", true},
    {"system.posix_acl_access", kPosixAcl, false},
};

#endif

TEST(KeptAttributes, AReplacedFileKeepsWhatWasSetOnIt) {
    for (const std::string command : {"make", "reg"}) {
        test::TempDir dir;
        const std::string source = dir.File("system.adm"), target = dir.File("out.file");
        test::WriteAll(source, test::Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\n"));
        test::WriteAll(target, "the administrator's file");
        std::vector<std::string> args{command, "--drives", "CDE", "--output", target, "--force"};
        if (command == "make") args.insert(args.end(), {"--source", source});
#ifdef _WIN32
        ASSERT_TRUE(SetFileAttributesW(test::FsPath(target).c_str(), kMarks));
#else
        const bool root = geteuid() == 0;  // else the root-only ones are left out
        for (const auto& [name, value, needsRoot] : kAttributes) {
            if ((!needsRoot || root) &&
                setxattr(target.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
                GTEST_SKIP() << "no " << name << " on this file system: " << std::strerror(errno);
            }
        }
#endif
        const cli::CliResult result = cli::RunCli(args, "");
        ASSERT_EQ(result.exitCode, cli::kExitDone) << result.err;
        EXPECT_EQ(result.out.rfind("Replaced: " + target + "\n", 0), 0u) << result.out;
        EXPECT_NE(test::ReadAll(target), "the administrator's file");
#ifdef _WIN32
        EXPECT_EQ(GetFileAttributesW(test::FsPath(target).c_str()) & kMarks, kMarks);
#else
        for (const auto& [name, value, needsRoot] : kAttributes) {
            if (needsRoot && !root) continue;
            std::string got(4096, '\0');
            got.resize(
                std::max<ssize_t>(0, getxattr(target.c_str(), name.c_str(), got.data(), 4096)));
            EXPECT_EQ(got, value) << name;
        }
#endif
    }
}

}  // namespace
}  // namespace tarnwick
