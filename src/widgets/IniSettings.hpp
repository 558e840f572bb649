#pragma once

#include <QString>

#include <filesystem>

#include "store/ini_file.hpp"
#include "store/settings_keys.hpp"

// The settings component: reads and writes the program's INI file. Every
// instance resolves to the same file when given the same name, so each window
// can carry its own.
enum class IniDefaultFolder { ddApplication, ddWindows, ddNone };

class IniSettings {
  public:
    IniSettings();

    // The folder of the program (the base folder), used by ddApplication.
    static void setApplicationDir(const std::filesystem::path& folder);
    static const std::filesystem::path& applicationDir();

    IniDefaultFolder DefaultDir() const { return defaultDir_; }
    void setDefaultDir(IniDefaultFolder dir);
    QString FileName() const { return fileName_; }
    // An empty name means "tolven.ini"; a name with a folder part is used as
    // it is, otherwise the folder comes from DefaultDir.
    void setFileName(const QString& name);
    std::filesystem::path path() const { return file_.path(); }

    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    void WriteInteger(const QString& section, const QString& key, int value) const;
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    void WriteString(const QString& section, const QString& key, const QString& value) const;

    // The settings of the table (store/settings_keys.hpp), with their
    // defaults and ranges.
    int read(const tolven::Setting& setting) const;
    void write(const tolven::Setting& setting, int value) const;
    QString readText(const tolven::Setting& setting) const;
    void writeText(const tolven::Setting& setting, const QString& value) const;

  private:
    void apply();

    IniDefaultFolder defaultDir_ = IniDefaultFolder::ddApplication;
    QString fileName_;
    tolven::IniFile file_;
};
