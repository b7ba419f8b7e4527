#pragma once
// What an adapter operation met, as a value: the transport and the register front end
// return it, and only the windows and the command line turn it into the documented message.
#include <cstdint>
#include <string_view>
#include <vector>

namespace tavrin::transport {

enum class [[nodiscard]] Status : uint8_t{
    Ok,
    Skipped,         // no adapter ready or no interface: nothing sent, a failure said before
    NoAdapters,      // the search found no adapter at all
    NoValidAdapters, // it found adapters, none usable
    BoardInfoFailed, // an adapter did not answer its descriptors, revision or pipes
    SetupFailed,     // the SPI set-up command failed
    BitsFailed,      // the SPI bits command failed
    WriteFailed,     // the transfer command did not go out whole
    ReadFailed,      // its reply did not come back whole
};

// True when the operation went through.
inline bool Ok(Status s) {
    return s == Status::Ok;
}

// A failure that stops the adapter (it is used again after the next search).
inline bool Broke(Status s) {
    return s != Status::Ok && s != Status::Skipped;
}

// The documented text of a failure; empty for Ok and Skipped.
std::string_view StatusText(Status s);

// What an operation that meets several adapters met, in order (empty: nothing to say).
using Statuses = std::vector<Status>;

} // namespace tavrin::transport
