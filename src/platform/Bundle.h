#pragma once

#include <QString>

namespace cvx {

// Files that travel inside the application (default settings files, firmware files), found
// by their path relative to the bundle, e.g. "CalcSetting.xml" or "USB/FileInf.txt".
class Bundle {
public:
    // A path for QFile (":/<name>", else ":/settings/<name>") naming a resource file, or a
    // null QString when neither exists.
    static QString pathForResource(const QString &name);
    // The same for "<name>.<type>"; an empty type adds nothing.
    static QString pathForResource(const QString &name, const QString &type);

    // Writes the resource to `destination` atomically, replacing any file there, as an
    // ordinary writable file. False when the resource is missing or the write fails.
    static bool copyResource(const QString &name, const QString &destination);
};

}  // namespace cvx
