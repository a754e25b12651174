#include "support/ChildProcess.h"

#include <cstdio>
#include <exception>

#include <sys/wait.h>
#include <unistd.h>

int RunInChild(const std::function<void()>& prepare, const std::function<void()>& action) {
    const pid_t child = ::fork();
    if (child == 0) {
        prepare();
        try {
            action();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 128;
    return WEXITSTATUS(status);
}
