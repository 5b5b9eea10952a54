#include "platform/win32/clock.hpp"

#include <windows.h>

namespace om::platform::win32 {

WallTime Win32Clock::local_now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return WallTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::int64_t Win32Clock::monotonic_ms()
{
    return static_cast<std::int64_t>(GetTickCount64());
}

} // namespace om::platform::win32
