#include "ui/App.h"
#include "ui/SoundPlayer.h"

int main(int argc, char** argv) {
    const int status = RunTarvin(argc, argv);
    TSoundPlayer::ExitNowIfSoundIsStuck(status);
    return status;
}
