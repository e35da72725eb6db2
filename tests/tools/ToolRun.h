// Runs a tool as a separate process and keeps what it printed.
#pragma once

#include "support/TestSupport.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace tooltest {

struct Result {
    int status = -1;
    std::string out, err;
};

inline Result Run(const std::string& folder, const std::string& command) {
    Result r;
    const std::string outPath = folder + "/.stdout.txt";
    const std::string errPath = folder + "/.stderr.txt";
    const int status = std::system((command + " >" + outPath + " 2>" + errPath).c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = testsupport::ReadHostFile(outPath);
    r.err = testsupport::ReadHostFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return r;
}

} // namespace tooltest
