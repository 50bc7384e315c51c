#include "app/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString InstalledDataFolder(const QString& programFolder) {
    return QDir::cleanPath(
        QDir(programFolder).absoluteFilePath(QStringLiteral(LABELPRINT_DATA_RELDIR)));
}

QString DataFilePath(const QString& besideProgram, const QString& installedFolder) {
    if (QFileInfo(besideProgram).isFile()) return besideProgram;
    const QString installed = QDir(installedFolder).filePath(QFileInfo(besideProgram).fileName());
    return QFileInfo(installed).isFile() ? installed : besideProgram;
}

QString DataFilePath(const QString& besideProgram) {
    return DataFilePath(besideProgram, InstalledDataFolder(QCoreApplication::applicationDirPath()));
}
