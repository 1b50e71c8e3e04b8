#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace zorvan::test {

pid_t spawnChild(const std::vector<std::string>& argv, int stdoutFd, int stderrFd, int stdinFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // In the child: only async-signal-safe calls until exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(stdoutFd >= 0 ? stdoutFd : devNull, STDOUT_FILENO);
    dup2(stderrFd >= 0 ? stderrFd : devNull, STDERR_FILENO);
    if (stdinFd >= 0) dup2(stdinFd, STDIN_FILENO);
    execv(args[0], args.data());
    _exit(127);
}

pid_t spawnListening(const std::vector<std::string>& argv, std::string& firstLine) {
    int out[2];
    if (pipe(out) != 0) return -1;
    fcntl(out[0], F_SETFD, FD_CLOEXEC);
    const pid_t pid = spawnChild(argv, out[1]);
    close(out[1]);
    char c;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid > 0 && std::chrono::steady_clock::now() < deadline && read(out[0], &c, 1) == 1 && c != '\n')
        firstLine += c;
    close(out[0]);
    return pid;
}

void stopChild(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace zorvan::test
