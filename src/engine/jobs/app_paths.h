#pragma once
// The files the program keeps beside its executable, all derived from the
// executable's path so that tests can place a fake one in a temporary folder.

#include <string>

#include "engine/jobs/paths.h"

namespace mirvane {

struct AppPaths {
    std::string executable;
    std::string folder;        // with its trailing separator
    std::string settingsFile;  // MovieSet.ini
    std::string encoder;       // ffmpeg/ffmpeg (ffmpeg\ffmpeg.exe on Windows)
    std::string logFile;       // the executable's path with ".log"
    std::string scriptFile;    // the executable's path with ".avs"
    std::string journalFile;   // the executable's path with ".jobs": the rows, kept across a crash

    static AppPaths fromExecutable(const std::string& executablePath, PathStyle style = kNativePathStyle,
                                   LeadByteTest isLeadByte = platform::isLeadByte);
};

}  // namespace mirvane
