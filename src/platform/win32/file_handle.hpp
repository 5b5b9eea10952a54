#pragma once
// Owning wrappers for kernel32 file handles and directory searches.
#include "platform/win32/unique_handle.hpp"

#include <windows.h>

namespace om::platform::win32 {

struct CloseFileHandle {
    bool operator()(HANDLE handle) const { return CloseHandle(handle) != 0; }
};
struct CloseFindHandle {
    bool operator()(HANDLE handle) const { return FindClose(handle) != 0; }
};

// CreateFileA gives INVALID_HANDLE_VALUE on failure.
using UniqueFile = UniqueHandle<HANDLE, CloseFileHandle>;
// FindFirstFileA gives INVALID_HANDLE_VALUE on failure.
using UniqueFind = UniqueHandle<HANDLE, CloseFindHandle>;

inline UniqueFile adopt_file(HANDLE handle)
{
    return UniqueFile(handle, INVALID_HANDLE_VALUE);
}
inline UniqueFind adopt_find(HANDLE handle)
{
    return UniqueFind(handle, INVALID_HANDLE_VALUE);
}

} // namespace om::platform::win32
