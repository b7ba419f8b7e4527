#pragma once
// Runs the built tavrin-cli as a shell would, with its output and status collected. Extra
// environment entries are "NAME=value"; TAVRIN_SIM is removed unless given.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tavrin::test {

struct CliResult {
    int status = -1; // exit status; 128 + n when ended by signal n
    std::string out;
    std::string err;
};

// Started in the background; WaitCli collects it.
struct CliProcess {
    pid_t pid = -1;
    std::FILE* out;
    std::FILE* err;
};

// Where standard output and error go instead of being collected: a file's path, or
// "closed" for no descriptor at all.
struct Redirect {
    const char* out = nullptr;
    const char* err = nullptr;
};

inline CliProcess StartCli(const std::vector<std::string>& args,
                           const std::vector<std::string>& env = {}, Redirect to = {}) {
    std::vector<std::string> all{"/usr/bin/env", "-u", "TAVRIN_SIM", "LC_ALL=C"};
    all.insert(all.end(), env.begin(), env.end());
    all.push_back(TAVRIN_CLI_PATH);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    CliProcess p{-1, std::tmpfile(), std::tmpfile()};
    p.pid = ::fork();
    if (p.pid == 0) {
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        for (const auto& [fd, path, collected] :
             {std::tuple{1, to.out, p.out}, {2, to.err, p.err}}) {
            if (path && std::string(path) == "closed")
                ::close(fd);
            else
                ::dup2(path ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600)
                            : ::fileno(collected),
                       fd);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return p;
}

inline CliResult WaitCli(const CliProcess& p) {
    CliResult r;
    int st = 0;
    if (::waitpid(p.pid, &st, 0) == p.pid)
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
    for (auto [f, text] : {std::pair{p.out, &r.out}, {p.err, &r.err}}) {
        std::rewind(f);
        for (int c; (c = std::getc(f)) != EOF;) text->push_back(static_cast<char>(c));
        std::fclose(f);
    }
    return r;
}

inline CliResult RunCli(const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {}, Redirect to = {}) {
    return WaitCli(StartCli(args, env, to));
}

} // namespace tavrin::test
