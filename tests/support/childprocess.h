// Runs a program with its output captured, for tests of command-line tools.

#ifndef TESTS_SUPPORT_CHILDPROCESS_H
#define TESTS_SUPPORT_CHILDPROCESS_H

#include "tempdir.h"

#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    void signal(int number);
    // Waits for the first standard output line, at most timeout_ms; empty on time-out.
    std::string firstOutputLine(int timeout_ms = 5000);
    // Waits for the exit; the exit status, or -1 on time-out or when a signal killed the child.
    int wait(int timeout_ms = 10000);

    std::string output() const { return readFile(folder.file("out")); }
    std::string errors() const { return readFile(folder.file("err")); }

private:
    TempDir folder; // the output goes to files, so that no pipe can fill up and stall the child
    pid_t pid = -1;
    bool reaped = false;
    int status = 0;
};

#endif // TESTS_SUPPORT_CHILDPROCESS_H
