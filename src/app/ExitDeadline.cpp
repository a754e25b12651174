#include "app/ExitDeadline.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

void ArmExitDeadline(int status, std::chrono::milliseconds grace) {
    try {
        // A normal end takes the sleeping thread with it.
        std::thread([status, grace] {
            std::this_thread::sleep_for(grace);
            // Told, so that a slow end is told from a hung one.
            std::fputs(ExitDeadlineMessage, stderr);
            std::fflush(nullptr);
            std::_Exit(status);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the program ends as it can.
    }
}
