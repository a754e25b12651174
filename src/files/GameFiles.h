#pragma once

#include <array>

// The names of the files the game keeps in its working directory. Both the
// game and the installed tarvin command use them; nothing else lives here.

// The records table.
inline constexpr char RecordsFileName[] = "Tarvin.tbr";

// The sound cue files, cue 1 first.
inline constexpr std::array<const char*, 5> CueFileNames{"Dizo1.wav", "Dizo2.wav", "Dizo3.wav",
                                                         "Dizo4.wav", "Dizo5.wav"};
