#include "childprocess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const std::string out = folder.file("out");
    const std::string err = folder.file("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    signal(SIGKILL);
    wait();
}

void ChildProcess::signal(int number) {
    if (pid > 0 && !reaped) {
        kill(pid, number);
    }
}

std::string ChildProcess::firstOutputLine(int timeout_ms) {
    for (int waited = 0; output().find('\n') == std::string::npos && waited < timeout_ms;
         waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string text = output();
    return text.substr(0, text.find('\n') == std::string::npos ? 0 : text.find('\n'));
}

int ChildProcess::wait(int timeout_ms) {
    for (int waited = 0; pid > 0 && !reaped && waited < timeout_ms; waited += 5) {
        reaped = waitpid(pid, &status, WNOHANG) == pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(reaped ? 0 : 5));
    }
    return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
