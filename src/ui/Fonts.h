#pragma once
// The fonts the fixed pixel layout of the windows was made for.

#include <QFont>

namespace tavro {

// Captions, labels, buttons, menus: a small sans serif.
QFont WindowFont();
// The term list and the output pane.
QFont MonoFont();
// The program's name in the About box.
QFont TitleFont();
// Plain-text printing.
QFont PrintFont();

}  // namespace tavro
