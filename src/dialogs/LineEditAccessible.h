#pragma once

// Gives every text field the game's own accessible object. It answers a
// screen reader's question for the word or sentence at the very end of the
// text, from which Qt 6.4 and 6.8 never return (the game froze when a blind
// player pressed Ctrl+Right in the name entry), and tells the text as one
// run of attributes. Call it before any text field is shown.
void InstallLineEditAccessible();
