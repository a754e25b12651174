#pragma once

// Starts the game: creates its windows in order and runs until the main
// window closes. Returns the program's exit code.
int RunTarvin(int argc, char** argv);
