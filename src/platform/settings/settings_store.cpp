#include "platform/settings/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <climits>

namespace settings {

namespace {

QString& CurrentKey() {
    static QString key;
    return key;
}

// Section and value names as QSettings paths: "\" separates subkeys.
QString PathOf(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return text;
}

// True when every line is a section header, a value or a comment in valid
// UTF-8: only such a file is written back. QSettings would drop the lines it
// cannot parse when it rewrites a file.
bool IsWellFormedIni(const QString& fileName) {
    QFile file(fileName);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (QString::fromUtf8(bytes).toUtf8() != bytes) return false;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']')) return false;
            continue;
        }
        if (line.indexOf('=') <= 0) return false;
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
    }
    return true;
}

} // namespace

QString DefaultTitleFromProgram(const QString& programPath) {
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString SettingsKey() {
    if (CurrentKey().isEmpty()) {
        const QString program = QCoreApplication::instance()
                                    ? QCoreApplication::applicationFilePath()
                                    : QStringLiteral("labelprint");
        CurrentKey() = QStringLiteral("Software\\Quorbel\\") + DefaultTitleFromProgram(program);
    }
    return CurrentKey();
}

void SetSettingsKey(const QString& key) {
    CurrentKey() = key;
}

QString SettingsFileForKey(const QString& key) {
    QStringList parts;
    for (const QString& part : QString(key)
                                   .replace(QLatin1Char('/'), QLatin1Char('\\'))
                                   .split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty() || trimmed == QLatin1String(".") || trimmed == QLatin1String(".."))
            continue;
        parts << trimmed;
    }
    if (!parts.isEmpty() &&
        parts.front().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.pop_front();
    if (parts.isEmpty()) parts << QStringLiteral("settings");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder + QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".ini");
}

TRegIniFile::TRegIniFile(const QString& key)
    : settings_(std::make_unique<QSettings>(SettingsFileForKey(key), QSettings::IniFormat)) {
    damaged_ =
        settings_->status() == QSettings::FormatError || !IsWellFormedIni(settings_->fileName());
}

TRegIniFile::~TRegIniFile() {
    Flush();
}

QString TRegIniFile::Key(const QString& section, const QString& name) const {
    return PathOf(section) + QLatin1Char('/') + PathOf(name);
}

bool TRegIniFile::ValueExists(const QString& section, const QString& name) const {
    return settings_->contains(Key(section, name));
}

int TRegIniFile::ReadInteger(const QString& section, const QString& name, int defaultValue) const {
    const QVariant v = settings_->value(Key(section, name));
    if (!v.isValid()) return defaultValue;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < INT_MIN || n > INT_MAX) return defaultValue;
    return static_cast<int>(n);
}

bool TRegIniFile::ReadBool(const QString& section, const QString& name, bool defaultValue) const {
    const QVariant v = settings_->value(Key(section, name));
    if (!v.isValid()) return defaultValue;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return defaultValue;
}

QString TRegIniFile::ReadString(const QString& section, const QString& name,
                                const QString& defaultValue) const {
    const QVariant v = settings_->value(Key(section, name));
    // A list or other structured value written by hand is not a string.
    if (!v.isValid() || v.userType() != QMetaType::QString) return defaultValue;
    return v.toString();
}

void TRegIniFile::PrepareWrite() {
    if (!damaged_) return;
    // The fresh file takes every value that could be read; the damaged one
    // is kept beside it, so nothing it held is lost.
    QList<std::pair<QString, QVariant>> readable;
    for (const QString& k : settings_->allKeys()) readable.append({k, settings_->value(k)});
    const QString file = settings_->fileName();
    settings_.reset();
    const QString aside = file + QStringLiteral(".damaged");
    QFile::remove(aside);
    QFile::rename(file, aside);
    settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
    for (const auto& [k, v] : readable) settings_->setValue(k, v);
    damaged_ = false;
}

void TRegIniFile::WriteInteger(const QString& section, const QString& name, int value) {
    PrepareWrite();
    settings_->setValue(Key(section, name), value);
}

void TRegIniFile::WriteBool(const QString& section, const QString& name, bool value) {
    PrepareWrite();
    settings_->setValue(Key(section, name), value);
}

void TRegIniFile::WriteString(const QString& section, const QString& name, const QString& value) {
    PrepareWrite();
    settings_->setValue(Key(section, name), value);
}

void TRegIniFile::EraseSection(const QString& section) {
    PrepareWrite();
    settings_->remove(PathOf(section));
}

void TRegIniFile::Flush() {
    if (settings_ && !damaged_) settings_->sync();
}

QString TRegIniFile::FileName() const {
    return settings_->fileName();
}

} // namespace settings
