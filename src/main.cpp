#include "app/App.h"
#include "sound/SoundPlayer.h"

int main(int argc, char** argv) {
    const int status = RunTarvin(argc, argv);
    TSoundPlayer::ExitNowIfSoundIsStuck(status);
    return status;
}
