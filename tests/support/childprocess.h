// Runs a program with its output captured, for tests of command-line tools.

#ifndef TESTS_TOOLS_CHILDPROCESS_H
#define TESTS_TOOLS_CHILDPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    // Starts the program with the arguments; see started().
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    // Kills the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    void signal(int number);

    // Waits for the first standard output line, at most timeout_ms; empty on time-out.
    std::string firstOutputLine(int timeout_ms = 5000);
    // Waits for the exit, collecting the output; the exit status, or -1 on time-out or when
    // the child was killed by a signal.
    int wait(int timeout_ms = 10000);

    const std::string& output() const { return out_text; }
    const std::string& errors() const { return err_text; }

private:
    bool collect(int timeout_ms); // reads what is there; false when both pipes are closed

    pid_t pid = -1;
    int out_fd = -1;
    int err_fd = -1;
    std::string out_text;
    std::string err_text;
    bool reaped = false;
};

#endif
