#pragma once

#include <chrono>

// A disk kept busy by other programs' unwritten data: from here on fsync,
// fdatasync and syncfs of the calling thread, and of the threads it starts
// later, wait delay before they run (0 lets them through at once again).
// False where the kernel cannot hold system calls so.
bool SlowDownSyncs(std::chrono::milliseconds delay);
