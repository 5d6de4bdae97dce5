#pragma once

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

#include "platform/XmlDocument.h"

// The data folder "$HOME/.Corvadenix" and the settings files in it. Settings files are read
// whole with the tidy option and written back whole, pretty-printed and atomically.
class SettingsFiles {
public:
    SettingsFiles() = delete;

    // "$HOME/.Corvadenix"; nothing is created.
    static QString dataFolder();
    // Creates the data folder with any missing parents and returns the path of the file in
    // it. A folder that cannot be created is not reported: the read or write that follows
    // fails instead.
    static QString preparedPath(const QString &fileName);
    // The file at the path parsed with the tidy option; nothing when it is missing or does
    // not parse.
    static std::optional<cvx::XmlDocument> load(const QString &path);

    // The texts of the list element's children named prefix + their position from 1
    // ("data1", "data2", ...), in order; a child whose name does not match its position is
    // skipped.
    static QStringList numberedTexts(const cvx::XmlElement &list, const QString &prefix);
    // Replaces all children of the list element by prefix1, prefix2, ... holding the texts.
    static void setNumberedTexts(cvx::XmlElement &list, const QString &prefix, const QStringList &texts);

    // Held around every read-modify-write of a file of the data folder (settings, patient and
    // check files), so that two writers in this process (a window or the link, and a
    // background save or import) do not drop each other's change.
    static std::recursive_mutex &writeMutex();
};
