#pragma once

#include <QFont>

// The font of every window: the narrow 11-pixel sans the dialogs were laid
// out for. Where it is missing, Liberation Sans keeps close enough to its
// widths that the fixed-size dialogs still show all their text.
QFont GameFont();
