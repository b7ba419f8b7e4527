// tavrin-cli: the program's work from a shell. Options are parsed by CLI11; every command
// lives in Commands.cpp. New commands and options are added beside the others below.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "cli/Commands.h"

namespace {

using namespace tavrin::cli;

// One line naming the bad option or value and where help is.
int UsageFailure(const std::string& what, const std::string& command) {
    std::string text = what;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    const std::string help =
        command.empty() ? "tavrin-cli --help" : "tavrin-cli " + command + " --help";
    std::fprintf(stderr, "tavrin-cli: %s (see '%s')\n", text.c_str(), help.c_str());
    return kUsage;
}

} // namespace

int main(int argc, char** argv) {
    // Closed standard descriptors are given the null device, so no file gets their numbers.
    tavrin::base::GuardStandardDescriptors();
    CLI::App cli{"Reads, writes, lists and logs the sensor's registers through the same core as "
                 "the TAVRIN windows.",
                 "tavrin-cli"};
    cli.set_version_flag("-V,--version", std::string("tavrin-cli ") + TAVRIN_VERSION);
    cli.require_subcommand(1);
    cli.fallthrough();

    GlobalOptions g;
    int adapter = -1;
    std::string model;
    std::string sim;
    auto* adapterOpt =
        cli.add_option("--adapter", adapter, "adapter slot 0-3 (default: the lowest usable)")
            ->check(CLI::Range(0, 3));
    auto* modelOpt =
        cli.add_option("--model", model, "apply this model instead of the one read (1 to 65535)");
    auto* simOpt = cli.add_option("--sim", sim, "simulated adapters, as TAVRIN_SIM (e.g. 41120)");
    cli.add_flag("--json", g.json,
                 "machine-readable output of scan, info, read, write, adev and psd");

    auto* scan = cli.add_subcommand("scan", "list the adapters and why one cannot be used");
    auto* info = cli.add_subcommand("info", "adapter in use, product number, model");

    ReadOptions ro;
    auto* read = cli.add_subcommand("read", "read registers by their table label");
    read->add_option("NAME", ro.names, "register labels (default: the seven outputs)");
    read->add_flag("--all", ro.all, "every readable register");

    WriteOptions wo;
    auto* write = cli.add_subcommand("write", "write a register and read it back");
    write->add_option("NAME", wo.name, "register label")->required();
    write->add_option("VALUE", wo.value, "1 to 4 hexadecimal digits")->required();

    DumpOptions dopt;
    auto* dump = cli.add_subcommand("dump", "the register listing");
    dump->add_option("-o,--output", dopt.output,
                     "write it to FILE as the register window saves it");

    LogOptions lo;
    auto* log = cli.add_subcommand("log", "a logging session, as the logging window runs it");
    auto* boxes = log->add_option("--boxes", lo.boxes, "data selection boxes 1-8 (default 2)")
                      ->type_name("INT")
                      ->delimiter(',');
    auto* regs = log->add_option("--regs", lo.regs, "the same by register label")->delimiter(',');
    boxes->excludes(regs);
    auto* samplesOpt = log->add_option("--samples", lo.samples, "samples per file (1000)");
    double seconds = 0;
    auto* secondsOpt = log->add_option("--seconds", seconds,
                                       "log for this long instead (one file; on a simulator "
                                       "with seed=, by its own clock)")
                           ->excludes(samplesOpt);
    log->add_option("--files", lo.files, "files per session (1)")->excludes(secondsOpt);
    log->add_option("--delay", lo.delay, "milliseconds after each sample (0)");
    log->add_flag("--raw", lo.raw, "register values only, no scaling");
    log->add_flag("--no-nd", lo.noND, "no new-data flag columns");
    log->add_flag("--no-header", lo.noHeader, "numeric data only, no file header");
    log->add_flag("--burst", lo.burst,
                  "read all chosen registers of a sample in one adapter command (up to 15 "
                  "each), so fewer sensor samples are missed; files as without it");
    log->add_option("--stem", lo.stem, "file name stem (DATALOG)");
    log->add_option("--dir", lo.dir, "directory of the files (default: the current one)");

    auto* flash = cli.add_subcommand("flash", "store the settings (Update Flash)");

    RecoverOptions ro2;
    auto* recover = cli.add_subcommand(
        "recover", "turn what unfinished logging sessions left into _incomplete files");
    recover->add_option("--dir", ro2.dir, "the directory (default: the current one)");

    AdevOptions ao;
    double rate = 0, period = 0;
    std::string csv;
    auto* adev = cli.add_subcommand(
        "adev", "Allan deviation and noise figures of a log file (no adapter needed)");
    adev->add_option("FILE", ao.file, "a log file this program wrote (.csv or .txt)")->required();
    adev->add_option("--channels", ao.channels,
                     "column titles or numbers among the value columns (default: all)")
        ->delimiter(',');
    auto* rateOpt =
        adev->add_option("--rate", rate, "logging rate in Hz (required for a file without header)");
    auto* periodOpt = adev->add_option(
        "--period", period, "sensor sample period in s, for the new samples of flagged logs");
    auto* csvOpt =
        adev->add_option("--csv", csv, "write the curve to this CSV file (- for standard output)");
    adev->add_option("--taus", ao.taus, "cluster sizes: all, octave, decade or N per decade (10)");
    long long minClusters = 0;
    auto* minClustersOpt = adev->add_option("--min-clusters", minClusters,
                                            "the curve stops where fewer clusters remain (9)");

    PsdOptions po;
    long long segment = 0;
    double psdRate = 0, psdPeriod = 0;
    std::string psdCsv;
    auto* psd = cli.add_subcommand(
        "psd", "power spectral density of a log file by Welch's method (no adapter needed)");
    psd->add_option("FILE", po.file, "a log file this program wrote (.csv or .txt)")->required();
    psd->add_option("--channels", po.channels, "as for adev (default: all)")->delimiter(',');
    auto* segmentOpt = psd->add_option(
        "--segment", segment, "samples per segment, a power of two (default: 16 to 33 segments)");
    auto* psdRateOpt = psd->add_option("--rate", psdRate, "logging rate in Hz, as for adev");
    auto* psdPeriodOpt =
        psd->add_option("--period", psdPeriod, "sensor sample period in s, as for adev");
    auto* psdCsvOpt = psd->add_option("--csv", psdCsv, "write the spectrum to this CSV file");

    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return FinishOutput(cli.exit(e));
    } catch (const CLI::CallForAllHelp& e) {
        return FinishOutput(cli.exit(e));
    } catch (const CLI::CallForVersion& e) {
        return FinishOutput(cli.exit(e));
    } catch (const CLI::ParseError& e) {
        std::string command;
        for (const auto* sub : cli.get_subcommands()) command = sub->get_name();
        const auto rest = cli.remaining();
        if (command.empty() && !rest.empty())
            return FinishOutput(UsageFailure(
                tavrin::base::QuotedInput(rest.front()) + " is not a command", command));
        return FinishOutput(UsageFailure(e.what(), command));
    }

    if (*adapterOpt) g.adapter = adapter;

    if (*simOpt) g.sim = sim;
    if (*rateOpt) ao.rate = rate;
    if (*periodOpt) ao.period = period;
    if (*csvOpt) ao.csv = csv;
    if (*minClustersOpt) ao.minClusters = minClusters;
    if (*secondsOpt) lo.seconds = seconds;
    if (*segmentOpt) po.segment = segment;
    if (*psdRateOpt) po.rate = psdRate;
    if (*psdPeriodOpt) po.period = psdPeriod;
    if (*psdCsvOpt) po.csv = psdCsv;

    const std::string command = cli.get_subcommands().front()->get_name();
    try {
        if (*modelOpt) g.model = ParseModel(model);
        if (*scan) return FinishOutput(RunScan(g));
        if (*info) return FinishOutput(RunInfo(g));
        if (*read) return FinishOutput(RunRead(g, ro));
        if (*write) return FinishOutput(RunWrite(g, wo));
        if (*dump) return FinishOutput(RunDump(g, dopt));
        if (*log) return FinishOutput(RunLog(g, lo));
        if (*flash) return FinishOutput(RunFlash(g));
        if (*recover) return FinishOutput(RunRecover(g, ro2));
        if (*adev) return FinishOutput(RunAdev(g, ao));
        if (*psd) return FinishOutput(RunPsd(g, po));
    } catch (const UsageError& e) {
        return FinishOutput(UsageFailure(e.text, command));
    }
    return kUsage;
}
