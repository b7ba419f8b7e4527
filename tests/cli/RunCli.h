#pragma once
// Runs the built tavrin-cli as a shell would, with its output and status
// collected.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavrin::test {

struct CliResult {
    int status = -1; // exit status; 128 + n when ended by signal n
    std::string out;
    std::string err;
};

// Extra environment entries are "NAME=value"; TAVRIN_SIM is removed unless
// given.
CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// The same, started in the background; Wait collects it.
struct CliProcess {
    pid_t pid = -1;
    std::filesystem::path outFile, errFile;
};
CliProcess StartCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
CliResult WaitCli(const CliProcess& p);

// Lines split at LF, each keeping what precedes the LF (CR included).
std::vector<std::string> SplitLines(const std::string& text);

} // namespace tavrin::test
