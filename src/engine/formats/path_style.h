#pragma once
// The path rules of the systems Mirvane knows, and which of them is the one
// it runs on. Rules for both are kept on every system: the Windows rules are
// tested on Linux too.

namespace mirvane {

enum class PathStyle { Posix, Windows };

// The rules of the running system; each system's sources define it.
extern const PathStyle kNativePathStyle;

// The separator a path of the given system's is made with.
constexpr char pathSeparator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

// Where the encoder lies in the program's folder, in the given system's form.
constexpr const char* encoderInProgramFolder(PathStyle style) {
    return style == PathStyle::Windows ? "ffmpeg\\ffmpeg.exe" : "ffmpeg/ffmpeg";
}

}  // namespace mirvane
