#pragma once

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/DefaultChoices.h"
#include "records/SettingsFiles.h"
#include "settings/EditorListView.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYWindow.h"

// The bundle's settings files in the test's data folder, with the choices seeded as at a
// first launch, and the clicks and keys a user would give the editors.
namespace settingstest {

inline void installSettings() {
    for (const char *name : {"Comment.xml", "HisSetting.xml", "ModeSetting.xml"}) {
        const QString file = QString::fromLatin1(name);
        ASSERT_TRUE(cvx::Bundle::copyResource(file, SettingsFiles::preparedPath(file))) << name;
    }
    DefaultChoices::seedAll();
}

inline cvx::UserDefaults &user() {
    return cvx::UserDefaults::standard();
}

inline QStringList strings(const QVariant &value) {
    QStringList texts;
    for (const QVariant &entry : value.toList()) texts.append(entry.toString());
    return texts;
}

// "zsignData" or "zcontent" entry [item][slot].
inline QVariant choice(const QString &key, int item, int slot) {
    return user().arrayForKey(key).value(item).toList().value(slot);
}

inline cvx::XmlDocument settingsFile(const QString &name) {
    auto doc = cvx::XmlDocument::fromFile(SettingsFiles::preparedPath(name), cvx::XmlDocument::Option::Tidy);
    EXPECT_TRUE(doc) << name.toStdString();
    return doc ? std::move(*doc) : cvx::XmlDocument();
}

inline QStringList texts(const QString &file, const QString &xpath) {
    return settingsFile(file).stringsForXPath(xpath);
}

inline void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void click(QAbstractButton *button) {
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    settle();
}

// A click on the row beside its controls.
inline void clickRow(EditorListView *list, int row) {
    QTest::mouseClick(list->rowView(row), Qt::LeftButton, {}, QPoint(list->rowView(row)->width() - 8, 6));
    settle();
}

inline void typeInto(EditorListView *list, int row, const QString &text, bool replace = true) {
    ListTextField *field = list->textField(row);
    ASSERT_TRUE(field);
    QTest::mouseClick(field->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    if (replace) field->selectAll();
    // Character by character as an input method commits them (QTest types ASCII keys only).
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(field, &press);
    }
    settle();
}

// Presses OK on the message shown over the window; answers its picture name.
inline void okTheMessage(TYWindow *window) {
    TYAlertView *message = window->findChild<TYAlertView *>();
    ASSERT_TRUE(message);
    click(message->okButton());
}

// Pictures for a person to look at, only where CVX_SCREENSHOT_DIR names a folder.
inline void screenshot(QWidget *window, const QString &name) {
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) window->grab().save(QDir(dir).filePath(QStringLiteral("editors_%1.png").arg(name)));
}

}  // namespace settingstest
