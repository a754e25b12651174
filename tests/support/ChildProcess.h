#pragma once

#include <functional>

// Runs prepare, then action, in a forked child, so that what prepare changes
// (user, system call filter) stays out of the test process. An exception from
// action is printed on the standard error. Returns the child's exit status:
// 0 when action went through, 1 when it threw, whatever prepare exits with
// when it cannot do its part, 128 when the child did not exit.
int RunInChild(const std::function<void()>& prepare, const std::function<void()>& action);

// For prepare: from here on, the system call number call fails with error in
// this process (a seccomp filter); exits with 3 where the filter cannot be set.
void FailSystemCall(long call, int error);
