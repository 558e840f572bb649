#pragma once

class QApplication;

namespace tolven {

// What the desktop program and its window tests set up alike before the first
// window: the Windows fonts the screens were designed with mapped to the IPA
// fonts of this platform (same metrics), the default font, and Qt's Japanese
// translations, so that standard dialogs and buttons speak Japanese.
void setup_application(QApplication& app);

}  // namespace tolven
