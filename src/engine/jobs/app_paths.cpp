#include "engine/jobs/app_paths.h"

namespace mirvane {

AppPaths AppPaths::fromExecutable(const std::string& executablePath, PathStyle style,
                                  LeadByteTest isLeadByte) {
    AppPaths paths;
    paths.executable = executablePath;
    paths.folder = ExtractFolder(executablePath, style, isLeadByte);
    paths.settingsFile = paths.folder + "MovieSet.ini";
    paths.encoder = paths.folder + encoderInProgramFolder(style);
    paths.logFile = ChangeExtension(executablePath, ".log", style, isLeadByte);
    paths.scriptFile = ChangeExtension(executablePath, ".avs", style, isLeadByte);
    paths.journalFile = ChangeExtension(executablePath, ".jobs", style, isLeadByte);
    return paths;
}

}  // namespace mirvane
