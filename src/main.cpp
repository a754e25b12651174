#include "ui/App.h"

int main(int argc, char** argv) {
    return RunTarvin(argc, argv);
}
