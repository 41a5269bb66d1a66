// Where a copy keeps its files: a portable copy beside itself, an installed
// one in the user's own folders.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/file_places.h"

namespace mirvane {
namespace {

const platform::UserFolders kUser{"/home/yuki/.config", "/home/yuki/.local/state"};

struct PlacesCase {
    const char* name;
    std::string executable;
    platform::UserFolders user;
    bool folderWritable;
    std::set<std::string> existing;  // entries that exist besides the program's own
    std::string settings, log, script, journal, privateFolder;
    PathStyle style = PathStyle::Posix;
    bool inInstalledFolder = false;
    // Why the program's folder cannot be trusted; empty when it can.
    std::string folderProblem = {};
};

// The installed folder as the package lays it out: the program, the shipped
// settings and the encoder link, just as a portable copy has them.
const std::set<std::string> kPackageLayout{"/usr/lib/mirvane/Mirvane", "/usr/lib/mirvane/MovieSet.ini",
                                           "/usr/lib/mirvane/ffmpeg", "/usr/lib/mirvane/ffmpeg/ffmpeg"};

const std::set<std::string> kNone;
const platform::UserFolders kNoFolders{"", ""};

const platform::UserFolders kWindowsUser{"C:\\Users\\yuki\\AppData\\Roaming",
                                         "C:\\Users\\yuki\\AppData\\Local"};

const PlacesCase kCases[] = {
    {"PortableCopyKeepsAllBesideItselfWhateverTheUserHas",
     "/home/yuki/apps/mirvane/Mirvane",
     kUser,
     true,
     {"/home/yuki/.config/mirvane/MovieSet.ini"},
     "/home/yuki/apps/mirvane/MovieSet.ini",
     "/home/yuki/apps/mirvane/Mirvane.log",
     "/home/yuki/apps/mirvane/Mirvane.avs",
     "/home/yuki/apps/mirvane/Mirvane.jobs",
     ""},
    {"InstalledCopyReadsInstalledSettingsWhenUserHasNone", "/usr/lib/mirvane/Mirvane", kUser, false,
     kPackageLayout, "/usr/lib/mirvane/MovieSet.ini", "/home/yuki/.local/state/mirvane/Mirvane.log",
     "/home/yuki/.local/state/mirvane/Mirvane.avs", "/home/yuki/.local/state/mirvane/Mirvane.jobs",
     "/home/yuki/.local/state/mirvane"},
    {"RootWhoMayWriteThereStillRunsThePackagedCopyAsInstalled",
     "/usr/lib/mirvane/Mirvane",
     {"/root/.config", "/root/.local/state"},
     true,
     kPackageLayout,
     "/usr/lib/mirvane/MovieSet.ini",
     "/root/.local/state/mirvane/Mirvane.log",
     "/root/.local/state/mirvane/Mirvane.avs",
     "/root/.local/state/mirvane/Mirvane.jobs",
     "/root/.local/state/mirvane",
     PathStyle::Posix,
     true},
    {"InstalledCopyReadsTheUsersOwnSettings",
     "/usr/lib/mirvane/Mirvane",
     kUser,
     false,
     {"/home/yuki/.config/mirvane/MovieSet.ini"},
     "/home/yuki/.config/mirvane/MovieSet.ini",
     "/home/yuki/.local/state/mirvane/Mirvane.log",
     "/home/yuki/.local/state/mirvane/Mirvane.avs",
     "/home/yuki/.local/state/mirvane/Mirvane.jobs",
     "/home/yuki/.local/state/mirvane"},
    {"SettingsOutsideItsOwnUserFolderAreNotTheUsers",
     "/usr/lib/mirvane/Mirvane",
     kUser,
     false,
     {"/home/yuki/.config/MovieSet.ini", "/home/yuki/.config/Mirvane/MovieSet.ini"},
     "/usr/lib/mirvane/MovieSet.ini",
     "/home/yuki/.local/state/mirvane/Mirvane.log",
     "/home/yuki/.local/state/mirvane/Mirvane.avs",
     "/home/yuki/.local/state/mirvane/Mirvane.jobs",
     "/home/yuki/.local/state/mirvane"},
    {"LogAndScriptNamedAfterTheProgram",
     "/opt/tools/conv.bin",
     kUser,
     false,
     {},
     "/opt/tools/MovieSet.ini",
     "/home/yuki/.local/state/mirvane/conv.log",
     "/home/yuki/.local/state/mirvane/conv.avs",
     "/home/yuki/.local/state/mirvane/conv.jobs",
     "/home/yuki/.local/state/mirvane"},
    {"WithoutUserFoldersAnInstalledCopyStaysBesideItself",
     "/usr/lib/mirvane/Mirvane",
     {"", ""},
     false,
     {"/mirvane/MovieSet.ini"},
     "/usr/lib/mirvane/MovieSet.ini",
     "/usr/lib/mirvane/Mirvane.log",
     "/usr/lib/mirvane/Mirvane.avs",
     "/usr/lib/mirvane/Mirvane.jobs",
     ""},
    {"WindowsCopyInAFolderItsUserCannotWriteLogsInTheLocalFolder",
     "C:\\Program Files\\Mirvane\\Mirvane.exe",
     kWindowsUser,
     false,
     {"C:\\Users\\yuki\\AppData\\Roaming\\Mirvane\\MovieSet.ini"},
     "C:\\Users\\yuki\\AppData\\Roaming\\Mirvane\\MovieSet.ini",
     "C:\\Users\\yuki\\AppData\\Local\\Mirvane\\Mirvane.log",
     "C:\\Users\\yuki\\AppData\\Local\\Mirvane\\Mirvane.avs",
     "C:\\Users\\yuki\\AppData\\Local\\Mirvane\\Mirvane.jobs",
     "C:\\Users\\yuki\\AppData\\Local\\Mirvane",
     PathStyle::Windows},
    // Another user may put a journal naming the user's files, or a log of
    // theirs that receives the user's, where the copy would keep them.
    {"CopyInAFolderOthersMayWriteKeepsItsFilesInTheUsers", "/srv/shared/Mirvane", kUser, true, kNone,
     "/srv/shared/MovieSet.ini", "/home/yuki/.local/state/mirvane/Mirvane.log",
     "/home/yuki/.local/state/mirvane/Mirvane.avs", "/home/yuki/.local/state/mirvane/Mirvane.jobs",
     "/home/yuki/.local/state/mirvane", PathStyle::Posix, false, "open to others"},
    {"CopyInAFolderOthersMayWriteWithoutAStateFolderKeepsNone", "/srv/shared/Mirvane", kNoFolders, true,
     kNone, "/srv/shared/MovieSet.ini", "", "", "", "", PathStyle::Posix, false, "another user's"},
    {"PortableWindowsCopyKeepsAllBesideItself",
     "D:\\Tools\\Mirvane\\Mirvane.exe",
     kWindowsUser,
     true,
     {"C:\\Users\\yuki\\AppData\\Roaming\\Mirvane\\MovieSet.ini"},
     "D:\\Tools\\Mirvane\\MovieSet.ini",
     "D:\\Tools\\Mirvane\\Mirvane.log",
     "D:\\Tools\\Mirvane\\Mirvane.avs",
     "D:\\Tools\\Mirvane\\Mirvane.jobs",
     "",
     PathStyle::Windows},
};

class AppFilePlacesTest : public testing::TestWithParam<PlacesCase> {};

TEST_P(AppFilePlacesTest, PlacesEachFile) {
    const PlacesCase& row = GetParam();
    std::string askedFolder;
    const FileSystemFacts facts{
        [&](const std::string& folder) {
            askedFolder = folder;
            return row.folderWritable;
        },
        [&](const std::string& path) { return row.existing.contains(path); },
        [&](const std::string& folder) { return row.inInstalledFolder && folder == "/usr/lib/mirvane/"; },
        [&](const std::string& folder) {
            // Asked of the folder itself: with its separator, a link's target.
            EXPECT_EQ(folder + (row.style == PathStyle::Windows ? '\\' : '/'), askedFolder);
            return row.folderProblem;
        }};
    const AppFilePlaces places = PlaceAppFiles(row.executable, row.user, facts, row.style);
    const char separator = row.style == PathStyle::Windows ? '\\' : '/';
    const std::string folder = row.executable.substr(0, row.executable.rfind(separator) + 1);
    if (!row.inInstalledFolder) {
        EXPECT_EQ(askedFolder, folder);
    }
    EXPECT_EQ(places.paths.executable, row.executable);
    EXPECT_EQ(places.paths.folder, folder);
    // The encoder is always the one installed beside the program.
    EXPECT_EQ(places.paths.encoder, folder + encoderInProgramFolder(row.style));
    EXPECT_EQ(places.paths.settingsFile, row.settings);
    EXPECT_EQ(places.paths.logFile, row.log);
    EXPECT_EQ(places.paths.scriptFile, row.script);
    EXPECT_EQ(places.paths.journalFile, row.journal);
    EXPECT_EQ(places.privateFolder, row.privateFolder);
}

INSTANTIATE_TEST_SUITE_P(Rows, AppFilePlacesTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane
