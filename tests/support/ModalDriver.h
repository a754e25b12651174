#pragma once

#include <functional>

// Runs act from the event loop once ready holds: the way into a modal
// dialog's own loop, which the test itself cannot return from. Gives up after
// a few seconds, reports it and closes whatever is open.
void When(std::function<bool()> ready, std::function<void()> act, int triesLeft = 300);
