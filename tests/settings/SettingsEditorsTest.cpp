#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <functional>

#include "SettingsFixture.h"
#include "platform/NotificationCenter.h"
#include "settings/LinkSetController.h"
#include "settings/ResultSetController.h"
#include "settings/SettingHospitalController.h"
#include "settings/SettingMainController.h"
#include "shell/MainMenuObject.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYDelButton.h"
#include "shell/kit/WindowList.h"

namespace {

using namespace settingstest;

QByteArray fileBytes(const QString &name) {
    return cvx::FileManager::readFile(SettingsFiles::preparedPath(name)).value_or(QByteArray());
}

bool showsPicture(TYWindow *window, const QString &name) {
    TYAlertView *message = window->findChild<TYAlertView *>();
    return message && message->errorImageView()->pixmap().toImage() == kit::picture(name).toImage();
}

class SettingsEditorsTest : public ::testing::Test {
public:
    void SetUp() override {
        installSettings();
        menu.setSettingFactory([](TYWindow *mainWindow) {
            auto *con = new SettingMainController;
            con->window();
            con->setRootWind(mainWindow);
            return con;
        });
        menu.mainWindow()->makeKeyAndOrderFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.mainWindow()));
        for (const char *name : {"BackMainMenuObjectFromSet", "BackMainMenuObjectFromHospSet",
                                 "BackMainMenuObjectFromResultpSet", "BackMainMenuObjectFromLinkSet",
                                 "BackSetMenuObjectFromHospSet", "BackSetMenuObjectFromResultpSet",
                                 "BackSetMenuObjectFromLinkSet"})
            cvx::NotificationCenter::defaultCenter().addObserver(
                &owner, QString::fromLatin1(name),
                [this](const cvx::Notification &n) { posted.append(n.name); });
    }

    SettingMainController *openSettings() {
        click(menu.settingBtn());
        return static_cast<SettingMainController *>(menu.settingMainCon());
    }

    template <typename Editor>
    Editor *open(SettingMainController *settings, CustomButton *button,
                 Editor *(SettingMainController::*con)() const) {
        click(button);
        Editor *editor = (settings->*con)();
        EXPECT_TRUE(editor);
        if (editor) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(editor->window()));
        }
        return editor;
    }

    // OK, then the OK of the confirmation.
    void save(SettingsEditorController *editor, CustomButton *ok) {
        click(ok);
        EXPECT_TRUE(showsPicture(editor->window(), QStringLiteral("update_success")));
        okTheMessage(editor->window());
    }

    MainMenuObject menu;
    QObject owner;
    QStringList posted;
};

// Each editor goes back to the menu by Cancel (the menu's clock running again) and to the main
// menu by Back (the menu staying hidden with its clock stopped); neither stores what was added.
TEST_F(SettingsEditorsTest, TheMenuOpensEachEditorWhichComesBackByCancelOrBack) {
    struct Editor {
        const char *name;
        std::function<SettingsEditorController *(SettingMainController *, SettingsEditorsTest &)> open;
        std::function<CustomButton *(SettingsEditorController *)> add;
        const char *toMenu, *toMainMenu, *file;
    };
    const Editor editors[] = {
        {"hospital",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             return t.open(s, s->hospitalButton(), &SettingMainController::settingHospitalCon);
         },
         [](SettingsEditorController *e) { return static_cast<SettingHospitalController *>(e)->addBtn(); },
         "BackSetMenuObjectFromHospSet", "BackMainMenuObjectFromHospSet", "HisSetting.xml"},
        {"comment",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             return t.open(s, s->resultSetButton(), &SettingMainController::resultSetCon);
         },
         [](SettingsEditorController *e) { return static_cast<ResultSetController *>(e)->addButton(2); },
         "BackSetMenuObjectFromResultpSet", "BackMainMenuObjectFromResultpSet", "Comment.xml"},
        {"total",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             return t.open(s, s->linkSetButton(), &SettingMainController::linkSetCon);
         },
         [](SettingsEditorController *e) { return static_cast<LinkSetController *>(e)->addBtn(); },
         "BackSetMenuObjectFromLinkSet", "BackMainMenuObjectFromLinkSet", "Comment.xml"},
    };
    for (const Editor &e : editors) {
        SCOPED_TRACE(e.name);
        SettingMainController *settings = openSettings();
        ASSERT_TRUE(settings);
        EXPECT_EQ(kit::keyWindow(), settings->window());
        EXPECT_FALSE(settings->bsButton()->isEnabled());  // no maintenance screen installed
        EXPECT_TRUE(settings->maintenanceNote()->isVisible());
        screenshot(settings->window(), QStringLiteral("menu"));
        const QByteArray before = fileBytes(QString::fromLatin1(e.file));

        for (bool back : {false, true}) {
            posted.clear();
            SettingsEditorController *editor = e.open(settings, *this);
            ASSERT_TRUE(editor);
            EXPECT_EQ(kit::keyWindow(), editor->window());
            EXPECT_FALSE(settings->window()->isVisible());
            EXPECT_FALSE(settings->zbbtime()->isRunning());
            click(e.add(editor));
            screenshot(editor->window(), QString::fromLatin1(e.name));
            if (back) {
                editor->backTap();
                settle();
                EXPECT_EQ(posted, QStringList{QString::fromLatin1(e.toMainMenu)});
                EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
                EXPECT_TRUE(menu.zbbtime()->isRunning());
                EXPECT_FALSE(settings->window()->isVisible());
                EXPECT_FALSE(settings->zbbtime()->isRunning());
            } else {
                editor->cancelTap();
                settle();
                EXPECT_EQ(posted, QStringList{QString::fromLatin1(e.toMenu)});
                EXPECT_EQ(kit::keyWindow(), settings->window());
                EXPECT_TRUE(settings->zbbtime()->isRunning());
            }
            EXPECT_EQ(fileBytes(QString::fromLatin1(e.file)), before);
        }
    }

    // The menu's own Back; a menu replaced earlier hears nothing any more.
    SettingMainController *settings = openSettings();
    posted.clear();
    click(settings->backButton());
    EXPECT_EQ(posted, QStringList{QStringLiteral("BackMainMenuObjectFromSet")});
    EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
    EXPECT_FALSE(settings->zbbtime()->isRunning());
}

TEST_F(SettingsEditorsTest, TheMaintenanceButtonOpensAnInstalledScreen) {
    QPointer<TYWindowController> made;
    TYWindow *given = nullptr;
    SettingMainController::setMaintenanceFactory([&](TYWindow *settingsWindow) {
        given = settingsWindow;
        made = new TYWindowController(QStringLiteral("OutputPWController"));
        return made.data();
    });
    SettingMainController *settings = openSettings();
    ASSERT_TRUE(settings->bsButton()->isEnabled());
    EXPECT_FALSE(settings->maintenanceNote()->isVisible());
    click(settings->bsButton());
    SettingMainController::setMaintenanceFactory(nullptr);
    ASSERT_TRUE(made);
    EXPECT_EQ(given, settings->window());
    EXPECT_EQ(made->window()->lastWindow(), menu.mainWindow());
    EXPECT_EQ(kit::keyWindow(), made->window());
    EXPECT_FALSE(settings->window()->isVisible());
}

TEST_F(SettingsEditorsTest, HospitalAndDentistEditsAreStoredWithTheirTicksByOk) {
    SettingMainController *settings = openSettings();
    auto *editor = open(settings, settings->hospitalButton(), &SettingMainController::settingHospitalCon);
    EditorListView *list = editor->tabView1();
    ASSERT_EQ(list->numberOfRows(), 3);
    EXPECT_TRUE(list->checkBox(1)->isChecked());  // seeded at launch

    typeInto(list, 0, QStringLiteral("あおば歯科"));
    click(editor->addBtn());
    const QString tooLong = QStringLiteral("新町デンタルクリニック").repeated(3);
    typeInto(list, 3, tooLong);
    EXPECT_EQ(list->textField(3)->stringValue(), tooLong.left(SettingHospitalController::kNameLimit));
    // A character of two code units at the limit goes whole, never half of it.
    const QString nearly = tooLong.left(SettingHospitalController::kNameLimit - 1);
    typeInto(list, 3, nearly + QStringLiteral("\U0001F600"));
    EXPECT_EQ(list->textField(3)->stringValue(), nearly);
    typeInto(list, 3, QStringLiteral("新町デンタル"));
    clickRow(list, 3);
    EXPECT_TRUE(list->checkBox(3)->isChecked());
    EXPECT_FALSE(list->checkBox(1)->isChecked());

    click(editor->doctorListButton());
    list = editor->tabView1();
    click(list->deleteButton(0));
    ASSERT_EQ(list->numberOfRows(), 2);
    click(list->checkBox(1));
    click(editor->addBtn());  // left blank: dropped at OK
    screenshot(editor->window(), QStringLiteral("hospital_doctors"));

    click(editor->hospitalListButton());
    EXPECT_EQ(editor->tabView1()->textField(0)->stringValue(), QStringLiteral("あおば歯科"));

    save(editor, editor->okButton());
    EXPECT_EQ(texts(QStringLiteral("HisSetting.xml"), QStringLiteral("/HisSetting/*[@name='hospital']/*")),
              (QStringList{QStringLiteral("あおば歯科"), QStringLiteral("みなと台デンタルオフィス"),
                           QStringLiteral("ひまわり歯科医院"), QStringLiteral("新町デンタル")}));
    EXPECT_EQ(texts(QStringLiteral("HisSetting.xml"), QStringLiteral("/HisSetting/*[@name='doctor']/*")),
              (QStringList{QStringLiteral("鈴木 花子"), QStringLiteral("高橋 健")}));
    EXPECT_EQ(user().stringArrayForKey(QStringLiteral("hos1")), (QStringList{"0", "0", "0", "1"}));
    EXPECT_EQ(user().stringArrayForKey(QStringLiteral("hos2")), (QStringList{"0", "1"}));
    EXPECT_EQ(user().stringForKey(QStringLiteral("zhospital")), QStringLiteral("新町デンタル"));
    EXPECT_EQ(user().stringForKey(QStringLiteral("zdoctor")), QStringLiteral("高橋 健"));
    EXPECT_EQ(kit::keyWindow(), settings->window());
    EXPECT_TRUE(settings->zbbtime()->isRunning());
}

// Ticks are in force at once; OK writes the changed lists, BFC's first table being its weak
// ("0") list and its third the strong one.
TEST_F(SettingsEditorsTest, StockCommentTicksAreKeptAtOnceAndOkWritesTheChangedLists) {
    SettingMainController *settings = openSettings();
    auto *editor = open(settings, settings->resultSetButton(), &SettingMainController::resultSetCon);
    const QByteArray msBefore = settingsFile(QStringLiteral("Comment.xml"))
                                    .stringsForXPath(QStringLiteral("/Comments/List[@title='MS']/*"))
                                    .join(QLatin1Char('|'))
                                    .toUtf8();
    click(editor->itemButton(3));
    EXPECT_EQ(editor->caption(1)->text(), QStringLiteral("弱め"));
    EXPECT_EQ(editor->caption(3)->text(), QStringLiteral("強め"));

    EditorListView *weak = editor->tabView(1);
    click(weak->checkBox(0));
    EXPECT_EQ(strings(choice(QStringLiteral("zsignData"), 2, 2)), (QStringList{"1", "0", "0"}));
    EXPECT_EQ(choice(QStringLiteral("zcontent"), 2, 2).toString(), weak->textField(0)->stringValue());

    EditorListView *strong = editor->tabView(3);
    typeInto(strong, 1, QString(70, QChar(u'強')));
    EXPECT_EQ(strong->textField(1)->stringValue().size(), ResultSetController::kTextLimit);
    typeInto(strong, 1, QStringLiteral("緩衝能が強い状態です。"));
    click(editor->addButton(3));
    EXPECT_EQ(editor->tabView(3)->numberOfRows(), 4);
    screenshot(editor->window(), QStringLiteral("comment_bfc"));

    click(editor->itemButton(1));  // away and back: the typed rows stay
    click(editor->itemButton(3));
    EXPECT_EQ(editor->tabView(3)->textField(1)->stringValue(), QStringLiteral("緩衝能が強い状態です。"));
    EXPECT_EQ(editor->tabView(3)->numberOfRows(), 4);

    save(editor, editor->okButton());
    const QStringList strongList =
        texts(QStringLiteral("Comment.xml"), QStringLiteral("/Comments/List[@title='BFC'][@type='2']/*"));
    ASSERT_EQ(strongList.size(), 3);  // the blank row dropped
    EXPECT_EQ(strongList.at(1), QStringLiteral("緩衝能が強い状態です。"));
    EXPECT_EQ(strings(choice(QStringLiteral("zsignData"), 2, 0)).size(), 3);
    EXPECT_EQ(settingsFile(QStringLiteral("Comment.xml"))
                  .stringsForXPath(QStringLiteral("/Comments/List[@title='MS']/*"))
                  .join(QLatin1Char('|'))
                  .toUtf8(),
              msBefore);
    EXPECT_EQ(kit::keyWindow(), settings->window());
}

TEST_F(SettingsEditorsTest, OverallCommentsAreStoredWithTheTickedOneByOk) {
    SettingMainController *settings = openSettings();
    auto *editor = open(settings, settings->linkSetButton(), &SettingMainController::linkSetCon);
    EditorListView *list = editor->tabView();
    const int stored = list->numberOfRows();
    ASSERT_GE(stored, 1);
    EXPECT_TRUE(list->checkBox(0)->isChecked());
    typeInto(list, 0, QStringLiteral("定期健診をおすすめします。"));
    click(editor->addBtn());
    typeInto(editor->tabView(), stored, QStringLiteral("次回は三か月後にお越しください。"));
    clickRow(editor->tabView(), stored);
    click(editor->tabView()->checkBox(stored));  // a second click on the box clears the tick
    click(editor->tabView()->checkBox(stored));
    screenshot(editor->window(), QStringLiteral("total"));

    save(editor, editor->okButton());
    const QStringList total =
        texts(QStringLiteral("Comment.xml"), QStringLiteral("/Comments/List[@title='TotalComment']/*"));
    ASSERT_EQ(total.size(), stored + 1);
    EXPECT_EQ(total.first(), QStringLiteral("定期健診をおすすめします。"));
    EXPECT_EQ(total.last(), QStringLiteral("次回は三か月後にお越しください。"));
    QStringList flags(stored + 1, QStringLiteral("0"));
    flags.last() = QStringLiteral("1");
    EXPECT_EQ(user().stringArrayForKey(QStringLiteral("ztotAry")), flags);
    EXPECT_EQ(user().stringForKey(QStringLiteral("ztotal")),
              QStringLiteral("次回は三か月後にお越しください。"));
}

// A settings file that cannot take the edits is reported, nothing is confirmed, the ticks stay
// as they were and the editor stays open with the edits.
TEST_F(SettingsEditorsTest, ASaveThatFailsIsReportedAndTheEditorStays) {
    struct Case {
        const char *name;
        const char *file;
        std::function<SettingsEditorController *(SettingMainController *, SettingsEditorsTest &)> edit;
        std::function<CustomButton *(SettingsEditorController *)> ok;
        const char *choiceKey;
    };
    const Case cases[] = {
        {"hospital", "HisSetting.xml",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             auto *e = t.open(s, s->hospitalButton(), &SettingMainController::settingHospitalCon);
             click(e->addBtn());
             typeInto(e->tabView1(), 3, QStringLiteral("新しい病院"));
             clickRow(e->tabView1(), 3);
             return e;
         },
         [](SettingsEditorController *e) { return static_cast<SettingHospitalController *>(e)->okButton(); },
         "hos1"},
        {"total", "Comment.xml",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             auto *e = t.open(s, s->linkSetButton(), &SettingMainController::linkSetCon);
             click(e->tabView()->checkBox(0));
             return e;
         },
         [](SettingsEditorController *e) { return static_cast<LinkSetController *>(e)->okButton(); },
         "ztotAry"},
        {"comment", "Comment.xml",
         [](SettingMainController *s, SettingsEditorsTest &t) -> SettingsEditorController * {
             auto *e = t.open(s, s->resultSetButton(), &SettingMainController::resultSetCon);
             typeInto(e->tabView(2), 0, QStringLiteral("書き換え"));
             return e;
         },
         [](SettingsEditorController *e) { return static_cast<ResultSetController *>(e)->okButton(); },
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        installSettings();
        SettingMainController *settings = openSettings();
        SettingsEditorController *editor = c.edit(settings, *this);
        ASSERT_TRUE(editor);
        const QString choiceKey = QString::fromLatin1(c.choiceKey);
        const QVariant choiceBefore = user().objectForKey(choiceKey);
        const QString file = SettingsFiles::preparedPath(QString::fromLatin1(c.file));
        const QByteArray odd = "<!--\xff-->" + cvx::FileManager::readFile(file).value_or("");  // no save
        ASSERT_TRUE(cvx::FileManager::writeAtomically(file, odd));

        click(c.ok(editor));
        EXPECT_TRUE(showsPicture(editor->window(), QStringLiteral("update_failed")));
        if (QString::fromLatin1(c.name) == QLatin1String("hospital"))
            screenshot(editor->window(), QStringLiteral("failed"));
        okTheMessage(editor->window());
        if (!choiceKey.isEmpty()) {
            EXPECT_EQ(user().objectForKey(choiceKey), choiceBefore);
        }
        EXPECT_EQ(kit::keyWindow(), editor->window());
        EXPECT_EQ(cvx::FileManager::readFile(file), odd);
        editor->backTap();
        settle();
    }
}

}  // namespace

namespace {

// BLD's button goes, and LEU's takes its place, unless the mode file says "0".
TEST_F(SettingsEditorsTest, BldIsLeftOutOfTheCommentEditorInTheSixItemMode) {
    struct Case {
        const char *name;
        const char *modeFile;
        bool sixItems;
    };
    const Case cases[] = {
        {"seven items", "<DATA><MODE>0</MODE><DeleteBLD>0</DeleteBLD></DATA>", false},
        {"six items", "<DATA><MODE>0</MODE><DeleteBLD>1</DeleteBLD></DATA>", true},
        {"unreadable file", "<DATA><MODE>0", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(cvx::FileManager::writeAtomically(
            SettingsFiles::preparedPath(QStringLiteral("ModeSetting.xml")), QByteArray(c.modeFile)));
        SettingMainController *settings = openSettings();
        auto *editor = open(settings, settings->resultSetButton(), &SettingMainController::resultSetCon);
        ASSERT_TRUE(editor);
        const int bldPlace = editor->itemButton(4)->x();
        EXPECT_EQ(editor->isSixItems(), c.sixItems);
        EXPECT_EQ(editor->itemButton(4)->isVisible(), !c.sixItems);
        EXPECT_EQ(editor->itemButton(5)->x() == bldPlace, c.sixItems);
        editor->backTap();
        settle();
    }
}

}  // namespace
