#include "RunCli.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace tavrin::test {

namespace {

std::filesystem::path TempFile() {
    std::string t = (std::filesystem::temp_directory_path() / "tavrin-cli-XXXXXX").string();
    ::close(::mkstemp(t.data()));
    return t;
}

std::string Slurp(const std::filesystem::path& p) {
    std::stringstream ss;
    ss << std::ifstream(p, std::ios::binary).rdbuf();
    std::filesystem::remove(p);
    return ss.str();
}

} // namespace

CliProcess StartCli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    CliProcess p{-1, TempFile(), TempFile()};
    // The first of two entries of a name wins.
    std::vector<std::string> envs = env;
    envs.emplace_back("LC_ALL=C");
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("TAVRIN_SIM=", 0) &&
            std::string_view(*e).rfind("LC_ALL=", 0))
            envs.emplace_back(*e);
    std::vector<char*> argv{const_cast<char*>(TAVRIN_CLI_PATH)}, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (auto& e : envs) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    p.pid = ::fork();
    if (p.pid == 0) {
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::dup2(::open(p.outFile.c_str(), O_WRONLY), 1);
        ::dup2(::open(p.errFile.c_str(), O_WRONLY), 2);
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
    r.out = Slurp(p.outFile);
    r.err = Slurp(p.errFile);
    return r;
}

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return WaitCli(StartCli(args, env));
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

} // namespace tavrin::test
