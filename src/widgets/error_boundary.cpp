#include "widgets/error_boundary.hpp"

#include "store/error_text.hpp"
#include "widgets/MessageDialog.hpp"

namespace tolven {

QString error_text(const QString& failed, const std::exception& error) {
    // The core's messages are UTF-8 (paths on disk are UTF-8 too); a
    // std::filesystem error is put in the same Japanese words.
    return failed + QLatin1Char('\n') + QString::fromUtf8(error_message(error));
}

bool guarded(QWidget* parent, const QString& failed, const std::function<void()>& work,
             const std::function<void()>& settle) {
    QString text;
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        text = error_text(failed, e);
    } catch (...) {
        text = failed;
    }
    if (settle) settle();
    MessageDialog::warning(parent, text);
    return false;
}

}  // namespace tolven
