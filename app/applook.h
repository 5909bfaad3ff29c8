#pragma once

class QApplication;

// The look of the whole application: the theme's style sheet with the palette taken from it,
// and the font. Shared by the program and the tool that draws the README's picture.
void applyApplicationLook(QApplication &app);
