// The owner and access list of what Mirvane reads back or keeps its files
// in, read through the handle it then uses.

#include "engine/platform/win32/file_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace mirvane::platform::win32 {

namespace {

// What lets another account put its own content or entries there, or take
// the object over: writing or appending (adding files and subfolders, for a
// folder), deleting entries or the object itself, changing its access list
// or owner.
constexpr ACCESS_MASK kWriteAccess = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | WRITE_DAC |
                                     WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;

std::vector<BYTE> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, std::error_code& error) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) {
        error = lastError();
        return {};
    }
    return buffer;
}

// The process's user, and whether it is an administrator: a member of the
// Administrators group, also where the membership only denies (a session
// not raised), since what it made while raised may belong to the group.
struct User {
    std::vector<BYTE> token;
    PSID sid = nullptr;
    bool administrator = false;
};

User processUser(std::error_code& error) {
    HANDLE tokenHandle = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenHandle)) {
        error = lastError();
        return {};
    }
    const Handle token(tokenHandle);
    User user;
    user.token = tokenInformation(token.get(), TokenUser, error);
    if (error) return {};
    user.sid = reinterpret_cast<const TOKEN_USER*>(user.token.data())->User.Sid;
    const std::vector<BYTE> groupBuffer = tokenInformation(token.get(), TokenGroups, error);
    if (error) return {};
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(groupBuffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (IsWellKnownSid(groups->Groups[i].Sid, WinBuiltinAdministratorsSid)) user.administrator = true;
    return user;
}

std::wstring sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return L"an unknown account";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

Ownership refused(Ownership::Verdict verdict, std::wstring account) {
    return {verdict, std::move(account), {}};
}

Ownership unreadable(std::error_code error) { return {Ownership::Verdict::unreadable, {}, error}; }

}  // namespace

Ownership ownership(HANDLE handle, ObjectKind kind) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD code =
        GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (code != ERROR_SUCCESS) return unreadable(windowsError(code));
    const std::unique_ptr<void, HLOCAL (*)(HLOCAL)> held(descriptor, LocalFree);
    std::error_code error;
    const User user = processUser(error);
    if (error) return unreadable(error);

    if (owner == nullptr || !(EqualSid(owner, user.sid) ||
                              (user.administrator && IsWellKnownSid(owner, WinBuiltinAdministratorsSid))))
        return refused(Ownership::Verdict::anotherOwner, sidText(owner));
    if (dacl == nullptr) return refused(Ownership::Verdict::othersMayWrite, L"everyone");
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return unreadable(lastError());
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        // An entry only for what is made in it does not apply to the object
        // itself; in a folder, though, it opens the files made there.
        const bool inherited = (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 && !(kind == ObjectKind::folder && inherited))
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriteAccess) == 0) continue;
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        // The owner (checked above, and whom OWNER RIGHTS and CREATOR OWNER
        // stand for), the system and the administrators may change anything.
        if (EqualSid(sid, user.sid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
            IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
            IsWellKnownSid(sid, WinCreatorOwnerRightsSid))
            continue;
        return refused(Ownership::Verdict::othersMayWrite, sidText(sid));
    }
    return {};
}

}  // namespace mirvane::platform::win32
