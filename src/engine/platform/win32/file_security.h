#pragma once
// Whether a file or folder held open is the user's own: its owner and the
// write access its access list grants to other accounts.

#include <string>
#include <system_error>

#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform::win32 {

struct Ownership {
    enum class Verdict { own, unreadable, anotherOwner, othersMayWrite };
    Verdict verdict = Verdict::own;
    // The owner or the account that may write, as "S-1-...", or "everyone"
    // for an object with no access list at all.
    std::wstring account;
    // Why the security could not be read, for Verdict::unreadable.
    std::error_code error;
};

enum class ObjectKind { file, folder };

// The owner and access list of the object held by handle (opened with at
// least READ_CONTROL). The user's own when its owner is the user, or the
// Administrators group when the user belongs to it, and no account but
// those and the system may change its content, add or delete entries in it,
// delete it, or change its access list or owner; for a folder, nor the files
// and folders made in it.
Ownership ownership(HANDLE handle, ObjectKind kind);

}  // namespace mirvane::platform::win32
