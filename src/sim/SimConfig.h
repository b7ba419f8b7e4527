#pragma once
// Builds the simulated adapters the program uses when TAVRIN_SIM is set.
#include <memory>
#include <string>
#include <string_view>

#include "transport/EzUsbDriver.h"

namespace tavrin::sim {

// "41120" puts one adapter with a model-41120 sensor on slot 0; "0:41120,2:41190"
// fills slots 0 and 2. On malformed text returns nullptr and puts one line naming the
// bad part into `error`: it quotes one piece of the text, at most 80 bytes of it, with
// every byte that is not printable ASCII escaped.
//
// Settings may stand among the parts: "seed=N" makes the adapters deterministic (a
// virtual clock; slot k seeded N + k), "fail=bulkP@N" makes the Nth bulk transfer on
// pipe P (0 or 1) fail, counted from the start ("fail=S:bulkP@N": adapter S's only), "fs" makes the
// adapters full speed, and "usbtime" makes the real-clock adapters keep USB time on the machine's
// clock.
std::unique_ptr<transport::EzUsbDriver> MakeSimDriverFromText(std::string_view text,
                                                              std::string& error);

using sim::MakeSimDriverFromText;
} // namespace tavrin::sim
