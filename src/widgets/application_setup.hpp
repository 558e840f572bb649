#pragma once

class QApplication;
class QIcon;
class QWidget;

namespace tolven {

// What the desktop program and its window tests set up alike before the first
// window: the Windows fonts the screens were designed with mapped to the IPA
// fonts of this platform (same metrics), the default font, and Qt's Japanese
// translations, so that standard dialogs and buttons speak Japanese.
// Sets the program's icon as every window's too.
void setup_application(QApplication& app);

// The program's own icon, a green "T" on black like the day banner, in three
// sizes: for the main window, every view's title bar and the windows of their
// own (instead of the toolkit's logo).
QIcon program_icon();

// Keeps a top-level window whole on the screen it is on, its frame included:
// made smaller where it is larger than the screen's free area (not below its
// minimum size hint), then moved inside it.
void fit_on_screen(QWidget& window);

}  // namespace tolven
