// The Linux calls behind the POSIX process code: the parent-death signal,
// descriptor ranges and process descriptors. Everything that runs between
// fork and exec is async-signal-safe.

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>

#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform::posix {

bool killWhenParentThreadEnds() { return ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0; }

void closeOnExecFrom(int lowest) { ::close_range(static_cast<unsigned>(lowest), ~0U, CLOSE_RANGE_CLOEXEC); }

void closeAllDescriptorsBut(int keep) {
    const auto kept = static_cast<unsigned>(keep);
    const bool below = kept == 0 || ::close_range(0, kept - 1, 0) == 0;
    const bool above = ::close_range(kept + 1, ~0U, 0) == 0;
    if (below && above) return;
    // Kernels before 5.9: one by one, up to the highest number a descriptor
    // can have here. A descriptor left open would keep the encoder's output
    // pipe from ever reporting its end.
    rlimit limit{};
    const rlim_t highest =
        ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? limit.rlim_cur : 1 << 20;
    for (rlim_t fd = 0; fd < highest; ++fd) {
        if (fd != kept) ::close(static_cast<int>(fd));
    }
}

int openProcessHandle(int pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace mirvane::platform::posix
