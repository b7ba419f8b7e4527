#pragma once
// The bash completion of tavrin-cli, made from its option table so that it never falls
// behind the options themselves.
#include <CLI/CLI.hpp>
#include <string>

namespace tavrin::cli {

// A bash script defining the completion of `tavrin-cli` for `complete`: the commands, each
// command's options with the global ones, directories after --dir, files after the options
// that name one and for a command's FILE, and the values of --format and --adapter.
std::string BashCompletion(const CLI::App& cli);

} // namespace tavrin::cli
