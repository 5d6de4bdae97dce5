#pragma once

#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

#include "platform/FileManager.h"
#include "platform/XmlDocument.h"

// Settings and patient files placed in the test's own data folder, from
// tests/records/fixtures/settings or from a text.
namespace settingsfixture {

inline QString dataPath(const QString &relative) {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/") + relative;
}

inline void writeData(const QString &name, const QByteArray &bytes) {
    cvx::FileManager::createDirectory(dataPath(name).section(QLatin1Char('/'), 0, -2));
    ASSERT_TRUE(cvx::FileManager::writeAtomically(dataPath(name), bytes)) << name.toStdString();
}

// Copies the fixture into the data folder under `as` (its own name by default).
inline void install(const QString &fixture, const QString &as = QString()) {
    const auto bytes = cvx::FileManager::readFile(
        QStringLiteral(CVX_SOURCE_DIR "/tests/records/fixtures/settings/") + fixture);
    ASSERT_TRUE(bytes) << fixture.toStdString();
    writeData(as.isNull() ? fixture : as, *bytes);
}

inline void installText(const QString &name, const QString &text) {
    writeData(name, text.toUtf8());
}

inline QByteArray contents(const QString &name) {
    return cvx::FileManager::readFile(dataPath(name)).value_or(QByteArray());
}

inline cvx::XmlDocument load(const QString &name,
                             cvx::XmlDocument::Option option = cvx::XmlDocument::Option::Tidy) {
    auto doc = cvx::XmlDocument::fromFile(dataPath(name), option);
    EXPECT_TRUE(doc) << name.toStdString();
    return doc ? std::move(*doc) : cvx::XmlDocument();
}

// A user-default value as one text: a text as it is, an array as "[a,b]" (nested alike),
// an absent value as "<none>".
inline QString shape(const QVariant &value) {
    if (!value.isValid()) return QStringLiteral("<none>");
    if (value.typeId() != QMetaType::QVariantList) return value.toString();
    QStringList parts;
    for (const QVariant &entry : value.toList()) parts.append(shape(entry));
    return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
}

}  // namespace settingsfixture
