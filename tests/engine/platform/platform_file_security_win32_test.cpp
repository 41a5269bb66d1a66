// Which folders and journals on Windows count as the user's own, by their
// owner and the write access their access lists give other accounts.

#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/platform/journal_file.h"
#include "engine/platform/user_folders.h"
#include "engine/platform/win32/win32_internal.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

// An account given access (or, with no access, made the owner).
struct Change {
    WELL_KNOWN_SID_TYPE account;
    ACCESS_MASK access;
    DWORD inheritance;
};

std::error_code apply(const std::string& path, const Change& change) {
    const win32::Handle object(CreateFileW(win32::toWide(path).c_str(),
                                           READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!object || !CreateWellKnownSid(change.account, nullptr, sid, &size)) return win32::lastError();
    if (change.access == 0)
        return win32::windowsError(SetSecurityInfo(object.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                                   sid, nullptr, nullptr, nullptr));
    PACL old = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD code = GetSecurityInfo(object.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 &old, nullptr, &descriptor);
    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = change.access;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = change.inheritance;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid);
    PACL acl = nullptr;
    if (code == ERROR_SUCCESS) code = SetEntriesInAclW(1, &entry, old, &acl);
    if (code == ERROR_SUCCESS)
        code = SetSecurityInfo(object.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                               nullptr);
    LocalFree(acl);
    LocalFree(descriptor);
    return win32::windowsError(code);
}

constexpr ACCESS_MASK kModify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

struct Case {
    const char* name;
    bool journal;
    std::optional<Change> change;
    // What ownFolderProblem says after "the folder <path>"; for a journal,
    // whether it is refused (not empty).
    std::string problem;
    // Wine keeps a file's security only as far as its Unix owner and mode
    // can say it: no inherit-only entry, no other owner.
    bool wineKeepsIt = true;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class OwnFiles : public testing::TestWithParam<Case> {};

TEST_P(OwnFiles, AreThoseOfTheUserThatNoOtherAccountMayWrite) {
    const Case& row = GetParam();
    if (!row.wineKeepsIt && GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
        GTEST_SKIP() << "Wine does not keep this change of a file's security";
    const TempDir dir;
    const std::string path = row.journal ? dir.write("Mirvane.jobs", "list") : dir.file("ポータブル");
    if (!row.journal) {
        ASSERT_TRUE(CreateDirectoryW(win32::toWide(path).c_str(), nullptr));
    }
    if (row.change) {
        const std::error_code changed = apply(path, *row.change);
        ASSERT_FALSE(changed) << changed.message();
    }
    if (!row.journal) {
        EXPECT_EQ(ownFolderProblem(path), row.problem.empty() ? "" : "the folder " + path + row.problem);
        return;
    }
    std::error_code error;
    EXPECT_EQ(JournalFile::openExisting(path, error).isOpen(), row.problem.empty());
    EXPECT_EQ(error,
              row.problem.empty() ? std::error_code() : std::make_error_code(std::errc::permission_denied));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OwnFiles,
    testing::Values(
        Case{"OwnFolderAsMade", false, std::nullopt, ""},
        Case{"FolderEveryoneMayModify", false, Change{WinWorldSid, kModify, NO_INHERITANCE},
             " is open to other users (S-1-1-0 may write in it)."},
        Case{"FolderOthersMayOnlyRead", false,
             Change{WinAuthenticatedUserSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, NO_INHERITANCE}, ""},
        Case{"FolderWhoseNewFilesOthersMayWrite", false,
             Change{WinAuthenticatedUserSid, FILE_GENERIC_WRITE, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE},
             " is open to other users (S-1-5-11 may write in it).", false},
        Case{"FolderOfTheUsersGroup", false, Change{WinBuiltinUsersSid, 0, 0},
             " belongs to another user (S-1-5-32-545).", false},
        Case{"JournalEveryoneMayWrite", true, Change{WinWorldSid, FILE_GENERIC_WRITE, NO_INHERITANCE},
             "refused"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::platform
