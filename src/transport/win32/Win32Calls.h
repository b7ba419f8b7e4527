#pragma once
// The three system calls the adapter's kernel driver is reached with, in plain types,
// so the code around them builds and is tested on every platform against a fake.
#include <cstdint>

namespace tavrin::transport::win32 {

class Win32Calls {
  public:
    using Handle = std::intptr_t;                // a HANDLE's value
    static constexpr Handle kInvalidHandle = -1; // INVALID_HANDLE_VALUE

    virtual ~Win32Calls() = default;
    virtual Handle createFileA(const char* path, uint32_t access, uint32_t shareMode,
                               uint32_t disposition, uint32_t flags) = 0;
    // Non-zero on success, as the system call.
    virtual int deviceIoControl(Handle h, uint32_t code, void* in, uint32_t inSize, void* out,
                                uint32_t outSize, uint32_t* bytesReturned) = 0;
    virtual int closeHandle(Handle h) = 0;
};

} // namespace tavrin::transport::win32
