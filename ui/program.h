#pragma once

#include "texts.h"

#include <QIcon>

namespace ui {

/// The compact disc with the note, at 16 and 32 pixels: the icon of the window,
/// its message boxes and the program file.
QIcon programIcon();

/// The open yellow folder beside the path box, 32 pixels.
QIcon folderIcon();

/// Gives the running application its name, version and icon. Call once the
/// QApplication exists.
void describeProgram();

/// The whole program: shows the window in the language of `texts` and returns
/// when it is closed. Takes Qt's own command-line options and none of its own.
int runProgram(int& argc, char** argv, const texts::Texts& texts);

}  // namespace ui
