#pragma once
// One running copy per user.

#include <string>

namespace mirvane::platform {

struct InstanceCheck {
    bool alreadyRunning = false;
    // Why the check could not be made (a sentence for the user, with the
    // system's own error text); empty when it was made.
    std::string failure;
};

// Takes the per-user single-instance lock of the given name for the rest of
// the process's life; alreadyRunning when another process holds it. The
// system releases the lock when the process ends, however it ends.
InstanceCheck IsAlreadyRunning(const std::string& name);

}  // namespace mirvane::platform
