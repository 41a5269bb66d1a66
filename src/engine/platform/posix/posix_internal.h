#pragma once
// What the sources in posix/ and linux/ share among themselves. The calls
// only Linux has (the parent-death signal, close_range, pidfd_open,
// SO_PEERCRED, /proc) live in linux/ behind the functions declared here, so
// that posix/ holds portable POSIX only.

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/platform/hand_over.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/user_folders.h"

namespace mirvane::platform::posix {

inline std::error_code lastError() { return {errno, std::system_category()}; }

// Writes all of data, a piece at a time as the system takes it.
std::error_code writeAll(int fd, std::string_view data);

// In a child between fork and exec: asks for SIGKILL once the thread that
// forked it ends. False when the system refused.
bool killWhenParentThreadEnds();

// In a child between fork and exec: marks every descriptor from `lowest` on
// close-on-exec. Where the system cannot do that in one call, nothing
// changes and only descriptors opened without O_CLOEXEC leak.
void closeOnExecFrom(int lowest);

// In a forked child that never execs: closes every descriptor but `keep`.
void closeAllDescriptorsBut(int keep);

// A descriptor that turns readable the moment the process ends; -1 where the
// system has no such thing.
int openProcessHandle(int pid);

// The user id of the process at the other end of a connected Unix socket;
// false when the system cannot say.
bool peerUserId(int socket, unsigned& uid);

// The folder opened as itself, never through a link: its descriptor, or -1
// with the reason in problem.
int openFolderNoLink(const std::string& folder, std::string& problem);

// Why the open folder cannot be trusted (privateFolderProblem's rules),
// examined through its descriptor; empty when it can.
// With othersMayRead, a folder others may read (not write) passes.
std::string folderProblem(int fd, const std::string& folder, bool othersMayRead = false);

// The single-instance lock inside the given per-user folder, which is made
// (mode 0700, with the folders above it) when missing and must pass
// folderProblem's rules.
InstanceCheck IsAlreadyRunningIn(const std::string& folder, const std::string& name);

// The per-user folder of the lock and of the hand-over socket: in the first
// of the runtime folders (XDG_RUNTIME_DIR's value, then /run/user/<uid>)
// that is a real folder of this user's that no one else may write in,
// otherwise in the user's state folder; empty with neither.
std::string lockFolderFrom(const std::vector<std::string>& runtimeFolders, const std::string& stateHome);
std::string userLockFolder();

// The user's folders from the values of XDG_CONFIG_HOME, XDG_STATE_HOME and
// HOME (any may be null): an unset, empty or relative one gives way to its
// default under the home folder.
UserFolders userFoldersFrom(const char* configHome, const char* stateHome, const char* home);

// The hand-over at a given socket path: the listener binds there (replacing
// what a copy that died left), the sender connects there.
std::unique_ptr<HandOverListener> listenForHandOver(const std::string& socketPath,
                                                    HandOverListener::Receiver receiver,
                                                    std::error_code& error);
std::error_code handOverTo(const std::string& socketPath, const std::vector<std::string>& files,
                           std::chrono::milliseconds timeout);

}  // namespace mirvane::platform::posix
