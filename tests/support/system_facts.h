#pragma once
// What differs between the systems the tests run on, where a test must say
// what the system itself would say.

#include <string>
#include <vector>

namespace mirvane::test {

enum class SystemFailure {
    NoSuchFile,   // a missing file in an existing folder
    OpenAFolder,  // a folder opened as the file to write
    NotAProgram,  // a file that is no program started as one (see makeNonProgram)
};

// The system's own text for the failure, as the platform layer reports it;
// where the system's text has a place for the file it concerns, the system
// fills it with subject.
std::string systemText(SystemFailure failure, const std::string& subject = {});

// Writes a file at the path that the system refuses to start as a program.
void makeNonProgram(const std::string& path);

// File names whose bytes the engine must keep exactly: on POSIX systems
// names in other encodings than UTF-8 (Latin-1, Shift-JIS), on Windows names
// outside any one ANSI code page.
std::vector<std::string> namesToKeepExactly();

// Hides the entry the system's way: POSIX a leading '.' to its name, Windows the attribute.
void hide(const std::string& path);
// Takes the right to list the folder; false when this process still can (root).
bool makeUnreadable(const std::string& folder);

// What a log the program creates begins with.
std::string createdLogStart();

// Whether the named locale ("ja_JP.UTF-8") is the user's: on POSIX systems
// LC_ALL is set to it, when it is installed, for the rest of the process; on
// Windows the user's locale is the Wine prefix's, which a test cannot change.
bool makeUserLocale(const std::string& name);

// Whether a pipe stays open after the encoder closed its output, until the
// encoder ends. Wine gives a console program started without a window a
// console host that holds the program's standard handles; Windows and POSIX
// systems do not.
bool outputOutlivesItsClose();

}  // namespace mirvane::test
