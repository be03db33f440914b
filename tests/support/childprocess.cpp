#include "childprocess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int out_pipe[2];
    int err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd = out_pipe[0];
    err_fd = err_pipe[0];
}

ChildProcess::~ChildProcess() {
    if (pid > 0 && !reaped) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    for (int fd : {out_fd, err_fd}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void ChildProcess::signal(int number) {
    if (pid > 0 && !reaped) {
        kill(pid, number);
    }
}

bool ChildProcess::collect(int timeout_ms) {
    pollfd watched[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    if (out_fd < 0 && err_fd < 0) {
        return false;
    }
    if (poll(watched, 2, timeout_ms) <= 0) {
        return true;
    }
    int* fds[2] = {&out_fd, &err_fd};
    std::string* texts[2] = {&out_text, &err_text};
    for (int i = 0; i < 2; ++i) {
        if (*fds[i] >= 0 && watched[i].revents != 0) {
            char buffer[4096];
            const ssize_t n = read(*fds[i], buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(*fds[i]);
                *fds[i] = -1;
            }
        }
    }
    return true;
}

std::string ChildProcess::firstOutputLine(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (out_text.find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        if (!collect(50)) {
            break;
        }
    }
    const std::size_t end = out_text.find('\n');
    return end == std::string::npos ? std::string() : out_text.substr(0, end);
}

int ChildProcess::wait(int timeout_ms) {
    if (pid <= 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        collect(20);
        int status = 0;
        if (!reaped && waitpid(pid, &status, WNOHANG) == pid) {
            reaped = true;
            while (collect(100)) {
                // the rest of the output; the pipes close with the child
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }
    return -1;
}
