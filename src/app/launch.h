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
#include "engine/platform/journal_file.h"

namespace mirvane::app {

// Says a problem the program starts with anyway, doing without what failed
// (the log, the hand-over), as the program's system would: on the terminal,
// or where there is none, to the debugger's output.
using Report = std::function<void(const std::string& text)>;

struct Launch {
    // Set when this process is to end at once with exitCode (a second copy);
    // the window is not made then.
    std::optional<int> exitCode;
    AppFilePlaces places;
    // False when the lock could not be taken at all: this copy runs alone,
    // unknown to the copies started after it.
    bool holdsLock = false;
    // Held for the process's life beside the log and the journal, so that
    // no other copy (whatever its runtime folder) writes them meanwhile;
    // null when this copy keeps none.
    std::shared_ptr<const platform::HeldLock> filesLock;
};

// Takes the per-user lock. A second copy hands the files (exact bytes, in
// order, each relative one made absolute in this process's working folder)
// to the running one, silently whatever happens, and is told to end with 0.
// A first copy gets where it keeps its files, its private folder made and
// checked. Whatever stands in the way (a lock that cannot be taken, a folder
// another user controls) is reported, and the copy starts without what
// failed: the hand-over, or the log, the script and the list kept between
// runs.
Launch launch(const std::vector<std::string>& files, const Report& report);

// For a program without a window, of which any number may run and none
// hands files over: where its files go, placed as launch places them, and
// the lock held beside its log (null when it keeps none; the problem is
// reported).
struct ConsoleLaunch {
    AppFilePlaces places;
    std::shared_ptr<const platform::HeldLock> filesLock;
};
ConsoleLaunch launchWithoutWindow(const Report& report);

// Starts hearing the copies started after this one; each list of files goes
// to receiver on the listener's own thread. Call it once the window that
// receives them exists. Null, with the reason reported, when it cannot;
// null at once for a copy that does not hold the lock.
std::unique_ptr<platform::HandOverListener> listenForOtherCopies(
    const Launch& launched, platform::HandOverListener::Receiver receiver, const Report& report);

}  // namespace mirvane::app
