#pragma once
// What both programs do before and around their window, whatever draws it:
// one copy per user; a second copy hands its files to the first and ends;
// the first places its files and, once its window exists, listens for the
// copies started after it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/file_places.h"
#include "engine/platform/hand_over.h"

namespace mirvane::app {

// A problem the program cannot start with, or one it starts with anyway,
// doing without what failed (the log, the hand-over).
enum class Problem { Fatal, Degraded };

// Says a problem to the user before or beside the window, as the program's
// system would: on the terminal, or where there is none, a fatal one in a
// box.
using Report = std::function<void(Problem problem, const std::string& text)>;

struct Launch {
    // Set when this process is to end at once with exitCode (a second copy,
    // or a lock that cannot be checked); the window is not made then.
    std::optional<int> exitCode;
    AppFilePlaces places;
};

// Takes the per-user lock. A second copy hands the files (exact bytes, in
// order) to the running one, silently whatever happens, and is told to end
// with 0. A first copy gets where it keeps its files, its private folder
// made (a folder that cannot be made is reported: conversions go on without
// the log).
Launch launch(const std::vector<std::string>& files, const Report& report);

// Starts hearing the copies started after this one; each list of files goes
// to receiver on the listener's own thread. Call it once the window that
// receives them exists. Null, with the reason reported, when it cannot.
std::unique_ptr<platform::HandOverListener> listenForOtherCopies(platform::HandOverListener::Receiver receiver,
                                                                 const Report& report);

}  // namespace mirvane::app
