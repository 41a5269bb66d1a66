#pragma once
// How many handles this process holds, from the system's handle table.
// GetProcessHandleCount would be the plain way, but Wine answers it with 0
// whatever the process holds, which would make every leak check pass.

#include <windows.h>

#include <vector>

namespace mirvane::test {

inline int countOwnHandles() {
    struct Entry {
        ULONG ownerId;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    std::vector<char> buffer(1 << 16);
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           nullptr)) == kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) return -1;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].ownerId == self) ++count;
    return count;
}

}  // namespace mirvane::test
