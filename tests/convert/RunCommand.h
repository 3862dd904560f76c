#pragma once
// Runs a program with arguments (no shell) and collects what it printed.
#include <cerrno>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillor::test_support {

struct CommandResult {
    int exitCode = -1; // -1 when it could not run or did not exit normally
    std::string output; // standard output, and standard error when merged
};

inline CommandResult runCommand(const std::vector<std::string> &argv, bool mergeStderr = true)
{
    CommandResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (mergeStderr)
            dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            result.output.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace quillor::test_support
