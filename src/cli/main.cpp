// tavrin-cli: the program's work from a shell. Options are parsed by CLI11 from the table
// below; the commands live in Commands.cpp, Log.cpp, Adev.cpp and Psd.cpp. The bash
// completion and each command's list of global options are made from the same table.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "cli/Commands.h"
#include "cli/Completion.h"

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

// Everything the options fill in; texts and numbers CLI11 cannot leave unset are taken over
// into the commands' options once parsed (see Settle).
struct Parsed {
    GlobalOptions g;
    ReadOptions read;
    WriteOptions write;
    DumpOptions dump;
    LogOptions log;
    RecoverOptions recover;
    AdevOptions adev;
    PsdOptions psd;
    std::string adapter, model, sim, completion;
    double seconds = 0, rate = 0, period = 0, psdRate = 0, psdPeriod = 0;
    long long minClusters = 0, segment = 0;
    std::string csv, imuYaml, psdCsv, output;
    std::map<std::string, CLI::Option*> given; // options whose presence counts
};

void AddGlobalOptions(CLI::App& cli, Parsed& p) {
    cli.set_version_flag("-V,--version", std::string("tavrin-cli ") + TAVRIN_VERSION);
    p.given["adapter"] = cli.add_option(
        "--adapter", p.adapter,
        "adapter slot 0-3 (default: the lowest usable); for log also several (0,2,3) or all");
    p.given["model"] =
        cli.add_option("--model", p.model, "apply this model instead of the one read (1 to 65535)");
    p.given["sim"] =
        cli.add_option("--sim", p.sim, "simulated adapters, as TAVRIN_SIM (e.g. 41120)");
    cli.add_flag("--json", p.g.json,
                 "machine-readable output of scan, info, read, write, log, recover, adev and psd");
    cli.add_option("--completion", p.completion, "print the bash completion script (bash)")
        ->group("");
}

void AddDeviceCommands(CLI::App& cli, Parsed& p) {
    cli.add_subcommand("scan", "list the adapters and why one cannot be used");
    cli.add_subcommand("info", "adapter in use, product number, model");
    auto* read = cli.add_subcommand("read", "read registers by their table label");
    read->add_option("NAME", p.read.names, "register labels (default: the seven outputs)");
    read->add_flag("--all", p.read.all, "every readable register");
    auto* write = cli.add_subcommand("write", "write a register and read it back");
    write->add_option("NAME", p.write.name, "register label")->required();
    write->add_option("VALUE", p.write.value, "1 to 4 hexadecimal digits")->required();
    auto* dump = cli.add_subcommand("dump", "the register listing");
    dump->add_option("-o,--output", p.dump.output,
                     "write it to FILE as the register window saves it (- for standard output)");
    cli.add_subcommand("flash", "store the settings (Update Flash)");
}

void AddLogCommands(CLI::App& cli, Parsed& p) {
    LogOptions& lo = p.log;
    auto* log = cli.add_subcommand("log", "a logging session, as the logging window runs it");
    auto* boxes = log->add_option("--boxes", lo.boxes, "data selection boxes 1-8 (default 2)")
                      ->type_name("INT")
                      ->delimiter(',');
    auto* regs = log->add_option("--regs", lo.regs, "the same by register label")->delimiter(',');
    boxes->excludes(regs);
    auto* samples = log->add_option("--samples", lo.samples, "samples per file (1000)");
    p.given["seconds"] = log->add_option("--seconds", p.seconds,
                                         "log for this long instead (one file; on a simulator "
                                         "with seed=, by its own clock)")
                             ->excludes(samples);
    log->add_option("--files", lo.files, "files per session (1)")->excludes(p.given["seconds"]);
    log->add_option("--delay", lo.delay, "milliseconds after each sample (0)");
    log->add_flag("--raw", lo.raw, "register values only, no scaling");
    log->add_flag("--no-nd", lo.noND, "no new-data flag columns");
    log->add_flag("--no-header", lo.noHeader, "numeric data only, no file header");
    log->add_flag("--burst", lo.burst,
                  "read all chosen registers of a sample in one adapter command (up to 15 "
                  "each), so fewer sensor samples are missed; files as without it");
    log->add_option("--stem", lo.stem, "file name stem (DATALOG)");
    log->add_option("--dir", lo.dir, "directory of the files (default: the current one)");
    auto* toStdout = log->add_flag("--stdout", lo.toStdout,
                                   "rows to standard output as they are taken, no file");
    p.given["output"] =
        log->add_option("-o,--output", p.output, "rows to - (standard output), a FIFO or a device")
            ->excludes(toStdout);
    log->add_option("--format", lo.format,
                    "csv (comma) or tsv (tab), decimal point whatever the locale "
                    "(default: by the locale, as the window)");
    auto* recover = cli.add_subcommand(
        "recover", "turn what unfinished logging sessions left into _incomplete files");
    recover->add_option("--dir", p.recover.dir, "the directory (default: the current one)");
}

void AddAnalysisCommands(CLI::App& cli, Parsed& p) {
    AdevOptions& ao = p.adev;
    auto* adev = cli.add_subcommand(
        "adev", "Allan deviation and noise figures of a log file (no adapter needed)");
    adev->add_option("FILE", ao.file,
                     "a log file this program wrote (.csv or .txt; - to read "
                     "standard input)")
        ->required();
    adev->add_option("--channels", ao.channels,
                     "column titles or numbers among the value columns (default: all)")
        ->delimiter(',');
    p.given["rate"] = adev->add_option("--rate", p.rate,
                                       "logging rate in Hz (required for a file without header)");
    p.given["period"] = adev->add_option(
        "--period", p.period, "sensor sample period in s, for the new samples of flagged logs");
    p.given["csv"] = adev->add_option("--csv", p.csv,
                                      "write the curve to this CSV file (- for standard output)");
    p.given["imuYaml"] = adev->add_option(
        "--imu-yaml", p.imuYaml,
        "write the fitted noise figures as imu.yaml for calibration tools (- for standard output)");
    adev->add_option("--taus", ao.taus, "cluster sizes: all, octave, decade or N per decade (10)");
    p.given["minClusters"] = adev->add_option("--min-clusters", p.minClusters,
                                              "the curve stops where fewer clusters remain (9)");
    auto* psd = cli.add_subcommand(
        "psd", "power spectral density of a log file by Welch's method (no adapter needed)");
    psd->add_option("FILE", p.psd.file, "a log file this program wrote (.csv or .txt)")->required();
    psd->add_option("--channels", p.psd.channels, "as for adev (default: all)")->delimiter(',');
    p.given["segment"] = psd->add_option(
        "--segment", p.segment, "samples per segment, a power of two (default: 16 to 33 segments)");
    p.given["psdRate"] = psd->add_option("--rate", p.psdRate, "logging rate in Hz, as for adev");
    p.given["psdPeriod"] =
        psd->add_option("--period", p.psdPeriod, "sensor sample period in s, as for adev");
    p.given["psdCsv"] = psd->add_option("--csv", p.psdCsv, "write the spectrum to this CSV file");
}

// Each command's help lists the global options too, from the same table.
void ListGlobalOptionsInEachHelp(CLI::App& cli) {
    std::string text = "Global options (before or after the command):\n";
    for (const CLI::Option* opt : cli.get_options()) {
        if (opt->get_group().empty() || opt->get_name() == "--help") continue;
        std::string names = opt->get_name(false, true);
        if (!opt->get_type_name().empty() && opt->get_type_name() != "BOOLEAN")
            names += " " + opt->get_type_name();
        text += "  " + names + std::string(names.size() < 28 ? 28 - names.size() : 1, ' ') +
                opt->get_description() + "\n";
    }
    for (CLI::App* sub : cli.get_subcommands({})) sub->footer(text);
}

// The values whose presence counts, taken over; a UsageError for one that is wrong.
void Settle(Parsed& p) {
    const auto given = [&](const char* name) { return p.given.at(name)->count() > 0; };
    if (given("adapter")) ParseAdapters(p.adapter, p.g);
    if (given("model")) p.g.model = ParseModel(p.model);
    if (given("sim")) p.g.sim = p.sim;
    if (given("seconds")) p.log.seconds = p.seconds;
    if (given("output")) p.log.output = p.output;
    if (given("rate")) p.adev.rate = p.rate;
    if (given("period")) p.adev.period = p.period;
    if (given("csv")) p.adev.csv = p.csv;
    if (given("imuYaml")) p.adev.imuYaml = p.imuYaml;
    if (given("minClusters")) p.adev.minClusters = p.minClusters;
    if (given("segment")) p.psd.segment = p.segment;
    if (given("psdRate")) p.psd.rate = p.psdRate;
    if (given("psdPeriod")) p.psd.period = p.psdPeriod;
    if (given("psdCsv")) p.psd.csv = p.psdCsv;
}

int Dispatch(const std::string& command, Parsed& p) {
    const GlobalOptions& g = p.g;
    if (command != "log" && (g.allAdapters || !g.adapters.empty()))
        throw UsageError{"--adapter: only log takes several adapters"};
    if (command == "scan") return RunScan(g);
    if (command == "info") return RunInfo(g);
    if (command == "read") return RunRead(g, p.read);
    if (command == "write") return RunWrite(g, p.write);
    if (command == "dump") return RunDump(g, p.dump);
    if (command == "log") return RunLog(g, p.log);
    if (command == "flash") return RunFlash(g);
    if (command == "recover") return RunRecover(g, p.recover);
    if (command == "adev") return RunAdev(g, p.adev);
    if (command == "psd") return RunPsd(g, p.psd);
    return kUsage;
}

} // namespace

int main(int argc, char** argv) {
    // Closed standard descriptors are given the null device, so no file gets their numbers.
    tavrin::base::GuardStandardDescriptors();
    CLI::App cli{"Reads, writes, lists and logs the sensor's registers through the same core as "
                 "the TAVRIN windows.",
                 "tavrin-cli"};
    cli.fallthrough();
    cli.require_subcommand(0, 1);
    Parsed p;
    AddGlobalOptions(cli, p);
    AddDeviceCommands(cli, p);
    AddLogCommands(cli, p);
    AddAnalysisCommands(cli, p);
    ListGlobalOptionsInEachHelp(cli);

    try {
        cli.parse(argc, argv);
        if (!p.completion.empty()) {
            if (p.completion != "bash") throw CLI::ValidationError("--completion", "only bash");
            return FinishOutput(std::fputs(BashCompletion(cli).c_str(), stdout) < 0);
        }
        if (cli.get_subcommands().empty()) throw CLI::RequiredError("A subcommand");
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
    const std::string command = cli.get_subcommands().front()->get_name();
    try {
        Settle(p);
        return FinishOutput(Dispatch(command, p));
    } catch (const UsageError& e) {
        return FinishOutput(UsageFailure(e.text, command));
    }
}
