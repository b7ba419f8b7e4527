#pragma once
// The commands of tavrin-cli. Each one opens the adapter the way the program does at
// start-up, then calls the same core functions as the windows; only the printing is its own.
#include <optional>
#include <string>
#include <vector>

namespace tavrin::cli {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kDeviceFailed = 1;
inline constexpr int kUsage = 2;
// A session ended by signal n (SIGINT, SIGTERM, SIGHUP) exits 128 + n, as a shell shows it.
inline constexpr int kSignalBase = 128;

struct GlobalOptions {
    std::optional<int> adapter; // slot 0..3; none: the lowest usable
    std::vector<int> adapters;  // several slots at once (log only)
    bool allAdapters = false;   // every usable adapter (log only)
    std::optional<float> model; // applied instead of the one read (see ParseModel)
    std::optional<std::string> sim;
    bool json = false;
};

struct ReadOptions {
    std::vector<std::string> names;
    bool all = false;
};

struct WriteOptions {
    std::string name;
    std::string value;
};

struct DumpOptions {
    std::optional<std::string> output;
};

// Texts as typed, judged by the logging window's own field rules.
struct LogOptions {
    std::vector<std::string> boxes;
    std::vector<std::string> regs;
    std::string samples = "1000";
    std::string files = "1";
    std::string delay = "0";
    bool raw = false;
    bool noND = false;
    bool noHeader = false;
    bool burst = false;
    std::string stem = "DATALOG";
    std::optional<std::string> dir;
    std::optional<double> seconds;     // the file ends after this long instead of --samples
    bool toStdout = false;             // rows to standard output, no file
    std::optional<std::string> output; // "-", a FIFO or a device: rows streamed there
    std::optional<std::string> format; // "csv" or "tsv" whatever the locale
};

struct RecoverOptions {
    std::optional<std::string> dir;
};

struct AdevOptions {
    std::string file;
    std::vector<std::string> channels;  // titles or numbers among the value columns
    std::optional<double> rate;         // logging rate, Hz
    std::optional<double> period;       // sensor sample period, s
    std::optional<std::string> csv;     // "-": standard output
    std::optional<std::string> imuYaml; // the fitted figures as imu.yaml; "-": standard output
    std::string taus = "10";            // all, octave, decade or points per decade
    std::optional<long long> minClusters;
};

struct PsdOptions {
    std::string file;
    std::vector<std::string> channels;
    std::optional<long long> segment; // samples per segment; none: chosen from the length
    std::optional<double> rate;
    std::optional<double> period;
    std::optional<std::string> csv;
};

// A usage error found after parsing: the caller prints it as one line and exits with 2.
struct UsageError {
    std::string text;
};

int RunScan(const GlobalOptions& g);
int RunInfo(const GlobalOptions& g);
int RunRead(const GlobalOptions& g, const ReadOptions& o);
int RunWrite(const GlobalOptions& g, const WriteOptions& o);
int RunDump(const GlobalOptions& g, const DumpOptions& o);
int RunLog(const GlobalOptions& g, const LogOptions& o);
int RunFlash(const GlobalOptions& g);
// Turns what unfinished sessions left in a directory into "_incomplete" files.
int RunRecover(const GlobalOptions& g, const RecoverOptions& o);

// --adapter as typed: a slot 0..3, several comma-separated, or "all".
void ParseAdapters(const std::string& text, GlobalOptions& g);

// --model as typed: a finite model number above 0 and at most 65535 (the product
// identifier is a 16-bit register); a UsageError otherwise.
float ParseModel(const std::string& text);

// What a command's status becomes once its output has been written out: 1 when standard
// output or standard error could not take it (said on standard error when it can).
int FinishOutput(int status);
// Needs no adapter: a log file in, the figures out.
int RunAdev(const GlobalOptions& g, const AdevOptions& o);
// The noise spectrum of a log file, also without the adapter.
int RunPsd(const GlobalOptions& g, const PsdOptions& o);

} // namespace tavrin::cli
