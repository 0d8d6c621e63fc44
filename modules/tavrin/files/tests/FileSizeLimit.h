// A save made where files may not grow past a limit, as on a full disk:
// it runs in a child process so the limit stays there.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Tavrin::Test {

// The save's result (1 or 0), or -1 when the child did not end normally.
template <class Save>
int ResultUnderFileSizeLimit(size_t limit, Save save)
{
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit r{limit, limit};
        setrlimit(RLIMIT_FSIZE, &r);
        _exit(save() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace Tavrin::Test
