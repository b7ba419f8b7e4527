// The system calls themselves; everything around them is in Win32Driver.cpp.
#include <windows.h>

#include "transport/win32/Win32Driver.h"

namespace tavrin::transport::win32 {

namespace {

class SystemCalls final : public Win32Calls {
  public:
    Handle createFileA(const char* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                       uint32_t flags) override {
        return reinterpret_cast<Handle>(
            ::CreateFileA(path, access, shareMode, nullptr, disposition, flags, nullptr));
    }
    int deviceIoControl(Handle h, uint32_t code, void* in, uint32_t inSize, void* out,
                        uint32_t outSize, uint32_t* bytesReturned) override {
        DWORD got = 0;
        const BOOL r = ::DeviceIoControl(reinterpret_cast<HANDLE>(h), code, in, inSize, out,
                                         outSize, &got, nullptr);
        *bytesReturned = got;
        return r;
    }
    int closeHandle(Handle h) override { return ::CloseHandle(reinterpret_cast<HANDLE>(h)); }
};

} // namespace

std::unique_ptr<EzUsbDriver> MakeWin32Driver() {
    static SystemCalls calls;
    return std::make_unique<Win32Driver>(calls);
}

} // namespace tavrin::transport::win32

namespace tavrin::transport {

std::unique_ptr<EzUsbDriver> MakeHardwareDriver() {
    return win32::MakeWin32Driver();
}

} // namespace tavrin::transport
