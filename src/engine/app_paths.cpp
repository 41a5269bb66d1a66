#include "engine/app_paths.h"

namespace mirvane {

AppPaths AppPaths::fromExecutable(const std::string& executablePath, PathStyle style) {
    AppPaths paths;
    paths.executable = executablePath;
    paths.folder = ExtractFolder(executablePath, style);
    paths.settingsFile = paths.folder + "MovieSet.ini";
    paths.encoder = paths.folder + (style == PathStyle::Windows ? "ffmpeg\\ffmpeg.exe" : "ffmpeg/ffmpeg");
    paths.logFile = ChangeExtension(executablePath, ".log", style);
    paths.scriptFile = ChangeExtension(executablePath, ".avs", style);
    return paths;
}

}  // namespace mirvane
