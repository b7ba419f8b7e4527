#include "datalog/LogSession.h"
#include "transport/FrontEnd.h"

namespace tavrin::datalog {

LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs) {
    return RunLogSession(app, settings, hooks, fs,
                         [](App& a, int16_t position) { ReadRegister(a, position); });
}

} // namespace tavrin::datalog
