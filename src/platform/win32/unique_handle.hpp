#pragma once
// Owning wrapper for a Win32 handle of any kind: closes it exactly once with its own close function,
// moves but never copies.
#include <utility>

namespace om::platform::win32 {

// Handle: the handle type (HKEY, HANDLE, ...); close: the function that releases it; invalid: the
// value that means "no handle" for that kind (nullptr for most, INVALID_HANDLE_VALUE for files and
// directory searches, which the caller passes through is_valid).
template <class Handle, class Closer> class UniqueHandle {
public:
    UniqueHandle() = default;
    UniqueHandle(Handle handle, Handle invalid) : handle_(handle), invalid_(invalid) {}
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, other.invalid_)), invalid_(other.invalid_)
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            invalid_ = other.invalid_;
            handle_ = std::exchange(other.handle_, other.invalid_);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != invalid_ && handle_ != Handle{}; }
    // Closes the handle now; true when there was none or the close function reported success.
    bool reset()
    {
        bool closed = true;
        if (*this)
            closed = Closer{}(handle_);
        handle_ = invalid_;
        return closed;
    }

private:
    Handle handle_{};
    Handle invalid_{};
};

} // namespace om::platform::win32
