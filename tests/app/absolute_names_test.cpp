// A second copy's names made absolute in its own working folder, byte for
// byte, before the running copy (started elsewhere) reads them.

#include <gtest/gtest.h>

#include <string>

#include "app/absolute_names.h"

namespace mirvane {
namespace {

constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle P = PathStyle::Posix;

TEST(MakeAbsolute, JoinsRelativeNamesToTheFolderAndKeepsEveryByte) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string path, folder, expected;
    };
    const Row rows[] = {
        {"posix relative name", P, "rel.avi", "/home/yuki/Videos", "/home/yuki/Videos/rel.avi"},
        {"posix absolute name kept", P, "/srv/a.avi", "/home/yuki", "/srv/a.avi"},
        {"posix dots and spaces kept", P, "../x/./a. .avi ", "/home/yuki", "/home/yuki/../x/./a. .avi "},
        {"posix invalid utf-8 kept", P, std::string("\xff\x00.avi", 6), "/v", std::string("/v/\xff\x00.avi", 9)},
        {"posix empty name stays empty", P, "", "/v", ""},
        {"windows relative name", W, "rel.avi", "C:\\Users\\yuki", "C:\\Users\\yuki\\rel.avi"},
        {"windows relative with a slash", W, "sub/a.avi", "D:\\v", "D:\\v\\sub/a.avi"},
        {"windows folder at a drive's root", W, "a.avi", "C:\\", "C:\\a.avi"},
        {"windows absolute kept", W, "E:\\x\\a.avi", "C:\\v", "E:\\x\\a.avi"},
        {"windows absolute with forward slashes kept", W, "C:/x/a.avi", "D:\\v", "C:/x/a.avi"},
        {"windows unc kept", W, "\\\\srv\\share\\a.avi", "C:\\v", "\\\\srv\\share\\a.avi"},
        {"windows device path kept", W, "\\\\?\\C:\\a.avi", "D:\\v", "\\\\?\\C:\\a.avi"},
        {"windows rooted name on the folder's drive", W, "\\x\\a.avi", "D:\\v\\w", "D:\\x\\a.avi"},
        {"windows rooted name on the folder's share", W, "\\x\\a.avi", "\\\\srv\\share\\v", "\\\\srv\\share\\x\\a.avi"},
        {"windows drive-relative on the folder's drive", W, "c:sub\\a.avi", "C:\\v", "C:\\v\\sub\\a.avi"},
        {"windows drive-relative on another drive", W, "E:a.avi", "C:\\v", "E:\\a.avi"},
        {"windows trailing dots and spaces kept", W, "..\\a.avi. .", "C:\\v", "C:\\v\\..\\a.avi. ."},
        {"windows japanese name", W, "ソース 表.mp4", "C:\\ビデオ", "C:\\ビデオ\\ソース 表.mp4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MakeAbsolute(row.path, row.folder, row.style), row.expected);
    }
}

}  // namespace
}  // namespace mirvane
