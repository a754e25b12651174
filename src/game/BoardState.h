#pragma once

#include <cstdint>
#include <string>

// The puzzle at any moment: five rings on three pegs, the player's selection
// and intent, the carried ring and the game clock. Plain data; the program
// keeps exactly one, the rules change it through free functions.

struct TRingState {
    std::int32_t Level;    // ring index, used for heights and colour
    std::int32_t SizeRank; // 5 for the largest ring .. 1 for the smallest
    float MajorRadius;     // centre-line radius of the torus
    std::uint8_t Peg;      // peg it stands on (or was taken from)
    std::int32_t Position; // 1-based height slot; stale while carried
};

struct TPegState {
    std::int32_t Count;    // rings on the peg
    std::int32_t TopSize;  // SizeRank of the top ring, 0 when empty
    std::int32_t Sizes[6]; // slot 0 is always 0; 1..Count bottom to top
};

struct TGameClock {
    std::uint8_t Seconds;
    std::uint8_t Minutes;
    std::uint8_t Hours;
};

inline constexpr std::int32_t RingCount = 5;
inline constexpr std::int32_t Slices = 25;
inline constexpr float TubeRadius = 0.5f;
inline constexpr std::int32_t PegCount = 3;
inline constexpr std::uint8_t NoRing = 5; // CarriedRing when nothing is carried

struct TBoardState {
    TRingState Rings[RingCount];
    TPegState Pegs[PegCount];
    std::uint8_t SelectedPeg;
    std::uint8_t PutMode;     // 1 = put the carried ring down, 0 = pick up
    std::uint8_t CarriedRing; // NoRing when nothing is carried
    std::uint8_t GameActive;  // 1 = keys accepted and the solved test armed
    TGameClock Clock;
};

// The state a freshly started program has.
TBoardState InitialBoardState();

// Everything back to the starting stack; PutMode and GameActive are kept.
void ResetForNewGame(TBoardState& board);

// One second of game time.
void Tick(TBoardState& board);

// "H : M : S" without leading zeros, as shown in the records table.
std::string TimeText(const TBoardState& board);
