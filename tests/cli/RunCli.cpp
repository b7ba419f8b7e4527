#include "RunCli.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tavrin::test {

namespace {

std::filesystem::path Scratch(const char* what) {
    static std::atomic<int> n{0};
    return std::filesystem::temp_directory_path() /
           ("tavrin-cli-" + std::to_string(::getpid()) + "-" + std::to_string(n++) + what);
}

} // namespace

CliProcess StartCli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    CliProcess p{-1, Scratch(".out"), Scratch(".err")};
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("TAVRIN_SIM=", 0) != 0) envs.emplace_back(*e);
    envs.emplace_back("LC_ALL=C");
    for (const auto& e : env) envs.push_back(e);

    std::vector<char*> argv{const_cast<char*>(TAVRIN_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);

    p.pid = ::fork();
    if (p.pid == 0) {
        const int out = ::open(p.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(p.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return p;
}

CliResult WaitCli(const CliProcess& p) {
    CliResult r;
    int st = 0;
    if (::waitpid(p.pid, &st, 0) == p.pid)
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
    r.out = ReadFileBytes(p.outFile);
    r.err = ReadFileBytes(p.errFile);
    std::filesystem::remove(p.outFile);
    std::filesystem::remove(p.errFile);
    return r;
}

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return WaitCli(StartCli(args, env));
}

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-cli-XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> ScratchDir::names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string ReadFileBytes(const std::filesystem::path& p) {
    std::stringstream ss;
    ss << std::ifstream(p, std::ios::binary).rdbuf();
    return ss.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, lf - at));
        at = lf + 1;
    }
    return lines;
}

} // namespace tavrin::test
