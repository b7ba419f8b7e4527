// The logging run's file names from a stem typed by the user: a stem that is accepted
// gives a name that stays inside the files directory, whatever its bytes; one that is
// refused says so.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "datalog/LogFormat.h"

using namespace tavrin::datalog;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    long long n = 0;
    std::memcpy(&n, data, sizeof n);
    const std::string_view ext = (data[8] & 1) ? ".txt" : ".csv";
    const std::string_view stem(reinterpret_cast<const char*>(data) + 9, size - 9);

    const std::string name = LogFileNameFor(stem, n, ext);
    if (name != std::string(stem) + "_" + std::to_string(n) + std::string(ext)) std::abort();

    const std::string problem = StemProblem(stem);
    if (!problem.empty()) {
        if (problem.find("INVALID FILE NAME") == std::string::npos) std::abort();
        return 0;
    }
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) std::abort();
    const std::filesystem::path dir = "/files/dir";
    const std::filesystem::path file = dir / name;
    if (file.parent_path() != dir || file.filename() != name || name == "." || name == "..")
        std::abort();
    return 0;
}
