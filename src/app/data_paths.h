#pragma once
// Where the program finds its data files (the label template, the sample
// database): beside the program first, as in a build tree or a folder the
// user keeps them in, then in the data folder of an installed copy.

#include <QString>

// The installed data folder for a program in `programFolder`: share/labelprint
// beside its bin folder (the same relative place under any prefix, also in a
// package unpacked elsewhere).
QString InstalledDataFolder(const QString& programFolder);

// `besideProgram` when that file exists or when the installed data folder
// has no file of that name; otherwise the installed one. A file found nowhere
// keeps the path beside the program, so callers report or create it there.
QString DataFilePath(const QString& besideProgram, const QString& installedFolder);

// The same for the running program's installed data folder.
QString DataFilePath(const QString& besideProgram);
