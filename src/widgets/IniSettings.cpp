#include "widgets/IniSettings.hpp"

#include "widgets/qt_text.hpp"

using tolven::cp;
using tolven::qs;

namespace {

std::filesystem::path& application_dir() {
    static std::filesystem::path dir = std::filesystem::current_path();
    return dir;
}

}  // namespace

IniSettings::IniSettings() : file_(tolven::settings_file(application_dir())) {}

void IniSettings::setApplicationDir(const std::filesystem::path& folder) {
    application_dir() = folder;
}
const std::filesystem::path& IniSettings::applicationDir() {
    return application_dir();
}

void IniSettings::setDefaultDir(IniDefaultFolder dir) {
    defaultDir_ = dir;
    apply();
}

void IniSettings::setFileName(const QString& name) {
    fileName_ = name;
    apply();
}

void IniSettings::apply() {
    std::filesystem::path name =
        (fileName_.isEmpty() ? QString::fromLatin1(tolven::kSettingsFileName) : fileName_)
            .toStdString();
    if (name.has_parent_path()) {
        file_ = tolven::IniFile(name);
        return;
    }
    switch (defaultDir_) {
        case IniDefaultFolder::ddApplication:
            file_ = tolven::IniFile(application_dir() / name);
            break;
        case IniDefaultFolder::ddWindows:
            // There is no Windows folder here; the user's configuration folder
            // plays its part.
            file_ = tolven::IniFile(
                std::filesystem::path(qEnvironmentVariable("HOME", ".").toStdString()) / ".config" /
                name);
            break;
        case IniDefaultFolder::ddNone:
            file_ = tolven::IniFile(name);
            break;
    }
}

int IniSettings::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    return file_.read_int(cp(section), cp(key), defaultValue);
}

void IniSettings::WriteInteger(const QString& section, const QString& key, int value) const {
    file_.write_int(cp(section), cp(key), value);
}

QString IniSettings::ReadString(const QString& section, const QString& key,
                           const QString& defaultValue) const {
    return qs(file_.read_text(cp(section), cp(key), cp(defaultValue)));
}

void IniSettings::WriteString(const QString& section, const QString& key, const QString& value) const {
    file_.write_text(cp(section), cp(key), cp(value));
}

int IniSettings::read(const tolven::Setting& setting) const {
    return tolven::read_setting_number(file_, setting);
}

void IniSettings::write(const tolven::Setting& setting, int value) const {
    tolven::write_setting_number(file_, setting, value);
}

QString IniSettings::readText(const tolven::Setting& setting) const {
    return qs(tolven::read_setting_text(file_, setting));
}

void IniSettings::writeText(const tolven::Setting& setting, const QString& value) const {
    tolven::write_setting_text(file_, setting, cp(value));
}
