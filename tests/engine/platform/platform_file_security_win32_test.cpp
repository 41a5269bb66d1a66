// Which folders and journals on Windows count as the user's own, by their
// owner and the write access their access lists give other accounts.

#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "engine/platform/journal_file.h"
#include "engine/platform/user_folders.h"
#include "engine/platform/win32/win32_internal.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

// Gives the folder or file at path the owner an SDDL text names ("O:BU"),
// or an access list of the user's full access and the entries it lists;
// nothing for an empty text.
std::error_code apply(const std::string& path, const std::string& change) {
    if (change.empty()) return {};
    std::error_code error;
    const bool owner = change.starts_with("O:");
    const std::wstring text = owner
                                  ? win32::toWide(change)
                                  : L"D:(A;OICI;FA;;;" + win32::userSid(error) + L")" + win32::toWide(change);
    PSECURITY_DESCRIPTOR wanted = nullptr;
    if (error || !ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &wanted,
                                                                       nullptr))
        return error ? error : win32::lastError();
    if (!SetFileSecurityW(win32::toWide(path).c_str(),
                          owner ? OWNER_SECURITY_INFORMATION : DACL_SECURITY_INFORMATION, wanted))
        error = win32::lastError();
    LocalFree(wanted);
    return error;
}

struct Case {
    const char* name;
    bool journal;
    // The owner or the entries apply gives it; none when empty.
    std::string change;
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
    ASSERT_TRUE(row.journal || CreateDirectoryW(win32::toWide(path).c_str(), nullptr));
    const std::error_code changed = apply(path, row.change);
    ASSERT_FALSE(changed) << changed.message();
    if (!row.journal) {
        EXPECT_EQ(ownFolderProblem(path), row.problem.empty() ? "" : "the folder " + path + row.problem);
        return;
    }
    // Refused as another's, not merely left unopened.
    std::error_code error;
    JournalFile::openExisting(path, error);
    EXPECT_EQ(error,
              row.problem.empty() ? std::error_code() : std::make_error_code(std::errc::permission_denied));
}

INSTANTIATE_TEST_SUITE_P(Rows, OwnFiles,
                         testing::Values(Case{"OwnFolderAsMade", false, "", ""},
                                         Case{"FolderEveryoneMayModify", false, "(A;;0x1301bf;;;WD)",
                                              " is open to other users (S-1-1-0 may write in it)."},
                                         Case{"FolderOthersMayOnlyRead", false, "(A;;FRFX;;;AU)", ""},
                                         Case{"FolderWhoseNewFilesOthersMayWrite", false, "(A;OIIO;FW;;;AU)",
                                              " is open to other users (S-1-5-11 may write in it).", false},
                                         Case{"FolderOfTheUsersGroup", false, "O:BU",
                                              " belongs to another user (S-1-5-32-545).", false},
                                         Case{"JournalEveryoneMayWrite", true, "(A;;FW;;;WD)", "refused"}),
                         testing::PrintToStringParamName());

}  // namespace
}  // namespace mirvane::platform
