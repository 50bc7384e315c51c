#pragma once
// The per-user settings store: registry-style keys ("Software\Quorbel\" +
// the program's default title) kept as INI files by QSettings under the
// user's configuration folder, one file per key, one section per subkey
// ("Form\TfrPreviewForm", "ToolBar\Standard").
//
// Reading never fails: a missing file, a missing value, a value of the wrong
// type or a file that cannot be parsed gives the caller's default. Writing
// replaces only the value written; a damaged file is kept beside the new one
// (".damaged") rather than overwritten.

#include <QString>
#include <memory>

class QSettings;

namespace settings {

// The default title a key is made from: the program file's name without its
// folder, cut before its first dot, the first character as it is and the
// rest in lower case ("/opt/LabelPrint.bin" -> "Labelprint").
QString DefaultTitleFromProgram(const QString& programPath);

// The settings key of this run, fixed once at start-up (before the
// application sets its own title): "Software\Quorbel\" + default title.
// Unset, it is made from the running program's file name.
QString SettingsKey();
void SetSettingsKey(const QString& key);

// The file that holds a key: "<config>/Quorbel/<title>.ini" for
// "Software\Quorbel\<title>"; a leading "\" and "Software\" are dropped and
// the other parts become folders. Parts that could leave the configuration
// folder ("..", empty) are dropped.
QString SettingsFileForKey(const QString& key);

class TRegIniFile {
public:
    explicit TRegIniFile(const QString& key = SettingsKey());
    ~TRegIniFile();
    TRegIniFile(const TRegIniFile&) = delete;
    TRegIniFile& operator=(const TRegIniFile&) = delete;

    int ReadInteger(const QString& section, const QString& name, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& name, bool defaultValue) const;
    QString ReadString(const QString& section, const QString& name,
                       const QString& defaultValue) const;
    bool ValueExists(const QString& section, const QString& name) const;

    void WriteInteger(const QString& section, const QString& name, int value);
    void WriteBool(const QString& section, const QString& name, bool value);
    void WriteString(const QString& section, const QString& name, const QString& value);
    void EraseSection(const QString& section);

    // Writes pending values to the file now (also done when destroyed).
    void Flush();
    QString FileName() const;

private:
    QString Key(const QString& section, const QString& name) const;
    void PrepareWrite();

    std::unique_ptr<QSettings> settings_;
    bool damaged_ = false;
};

} // namespace settings
