// Peak resident memory of one logging session: `bench_datalog_memory <samples>` logs
// that many samples of one register into one file and prints the peak in kilobytes.
// Run it once per size; separate processes keep the peaks apart.
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "SimTestApp.h"
#include "datalog/LogSession.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

int main(int argc, char** argv) {
    using namespace tavrin;
    const double samples = argc > 1 ? std::stod(argv[1]) : 10000;
    test::SimTestApp s;
    char tmpl[] = "/tmp/tavrin-rss-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(tmpl);
    datalog::LogSettings settings;
    settings.directory = dir;
    settings.columns.box[2] = true;
    settings.samplesPerFile = samples;
    datalog::DiskFileSystem disk;
    const auto rep = datalog::RunLogSession(s.app.logging(), settings, {}, disk);
    const auto size = std::filesystem::file_size(dir / "DATALOG_1.csv");
    std::filesystem::remove_all(dir);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("samples=%.0f files=%lld file_bytes=%llu peak_rss_kb=%ld\n", samples,
                rep.filesWritten, static_cast<unsigned long long>(size), ru.ru_maxrss);
    return rep.filesWritten == 1 ? 0 : 1;
}
