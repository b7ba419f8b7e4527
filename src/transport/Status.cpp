#include "transport/Status.h"

namespace tavrin::transport {

std::string_view StatusText(Status s) {
    switch (s) {
    case Status::Ok:
    case Status::Skipped:
        return {};
    case Status::NoAdapters:
        return "No USB Buffers Found, Please Verify Setup and Restart";
    case Status::NoValidAdapters:
        return "No Valid USB Buffers Found, Please Verify Setup and Restart";
    case Status::BoardInfoFailed:
        return "Error getting Board Info";
    case Status::SetupFailed:
        return "Error Setting up SPI";
    case Status::BitsFailed:
        return "Error Setting SPI Bits";
    case Status::WriteFailed:
        return "Error Writing SPI";
    case Status::ReadFailed:
        return "Error Reading SPI";
    }
    return {};
}

} // namespace tavrin::transport
