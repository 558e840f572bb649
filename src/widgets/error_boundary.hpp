#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace tolven {

// The one place where a window meets the errors the core reports. Every slot
// that asks the core to read or write (a day load, the results refresh, the
// hit export, a printout) runs its work through guarded(): an error is shown
// in the message dialog with what failed, the path and the reason, and the
// program carries on with what was stored; nothing escapes into Qt's event
// loop, where it would end the program.
//
// `failed` says what the user asked for in a full sentence, for example
// "レース日を読み込めませんでした。". `settle`, when given, runs after a
// failure and before the dialog, so that the window behind the dialog shows
// the state after the failure. Returns true when the work finished.
bool guarded(QWidget* parent, const QString& failed, const std::function<void()>& work,
             const std::function<void()>& settle = {});

// The text the dialog shows: the sentence, then the core's message (which
// names the file and the reason) on the next line.
QString error_text(const QString& failed, const std::exception& error);

}  // namespace tolven
