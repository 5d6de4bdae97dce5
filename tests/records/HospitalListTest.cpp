#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include "platform/FileIo.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/XmlRecovery.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"

namespace {

using namespace settingsfixture;
using Lists = BBInitDatas::Lists;

const QString kHis = QStringLiteral("HisSetting.xml");
const QString kComm = QStringLiteral("CommSetting.xml");

QStringList groupEntries(const char *group) {
    return load(kHis).stringsForXPath(QStringLiteral("/HisSetting/%1/*").arg(group));
}

TEST(HospitalListTest, ReadsGroupsByNameAndEntriesByPosition) {
    install("HisSetting_swapped.xml", kHis);
    // hospital3 in second place and hospital2 in third are both out of place.
    EXPECT_EQ(BBInitDatas::getHospital(), (Lists{{"hospital", {"Clinic 1"}}, {"doctor", {"Dr A", "Dr B"}}}));
    install("HisSetting_unnamed.xml", kHis);
    EXPECT_TRUE(BBInitDatas::getHospital().isEmpty());
    install("HisSetting_doctorsonly.xml", kHis);
    EXPECT_EQ(BBInitDatas::getHospital().keys(), QStringList{"doctor"});
    // Without its closing root tag the file is read as repaired.
    install("HisSetting_swapped.xml", kHis);
    const QByteArray damaged = contents(kHis).replace("</HisSetting>", "");
    installText(kHis, QString::fromUtf8(damaged));
    EXPECT_EQ(BBInitDatas::getHospital(), (Lists{{"hospital", {"Clinic 1"}}, {"doctor", {"Dr A", "Dr B"}}}));
    EXPECT_EQ(contents(kHis), damaged) << "reading writes nothing back";
    // A NUL byte in a name (a repair would cut the file there), a reference to no character (it
    // would cut the name), an end tag lost where the repair would hide the rest of the list in
    // the first entry or the hospitals among the dentists: not read, nor written.
    for (const auto &[from, to] : {std::pair<QByteArray, QByteArray>{"Clinic 1", QByteArray("Cli\0nic 1", 9)},
                                   {"Clinic 1", "Cli&#0;nic 1"},
                                   {"Clinic 1</hospital1>", "Clinic 1"},
                                   {"</Doctor>", ""}}) {
        install("HisSetting_swapped.xml", kHis);
        const QByteArray cut =
            contents(kHis).replace(from, to).replace("</HisSetting>", "");  // cut short too
        writeData(kHis, cut);
        EXPECT_TRUE(BBInitDatas::getHospital().isEmpty());
        EXPECT_FALSE(BBInitDatas::setHospital({"X"}, "hospital"));
        EXPECT_FALSE(BBInitDatas::setHospital({"X"}, "doctor"));
        EXPECT_EQ(contents(kHis), cut);
    }
    // A byte that is no text is shown as a replacement character, and never written so.
    install("HisSetting_swapped.xml", kHis);
    const QByteArray odd = contents(kHis).replace("Dr B", "Dr \xff");
    writeData(kHis, odd);
    EXPECT_EQ(BBInitDatas::getHospital().value("doctor"), (QStringList{"Dr A", "Dr \uFFFD"}));
    EXPECT_FALSE(BBInitDatas::setHospital({"X"}, "hospital"));
    EXPECT_EQ(contents(kHis), odd);
}

// A hospital file cut short anywhere, as a crash or a full disk leaves it, is read with every
// entry that the cut left whole and none that it cut, and takes the next save without losing the
// other list: in UTF-8, and in UTF-16 of either byte order, plain or with a crash's zeros from an
// even offset.
TEST(HospitalListTest, EveryCutOfTheFileIsReadAndSaved) {
    using Order = cvx::TextEncoding::ByteOrder;
    const QByteArray utf8 = *cvx::FileManager::readFile(CVX_SOURCE_DIR "/resources/settings/HisSetting.xml");
    const QString text = QString::fromUtf8(utf8).replace("UTF-8", "UTF-16");
    writeData(kHis, utf8);
    const Lists all = BBInitDatas::getHospital();
    cvx::setXmlRepairLog([](const QString &) {});
    for (const int form : {0, 1, 2, 3, 4}) {
        const bool wide = form > 0, zeros = form > 2;
        const Order order = form % 2 ? Order::LittleEndian : Order::BigEndian;
        const QByteArray whole = wide ? cvx::TextEncoding::toUtf16(text, order) : utf8;
        const qsizetype unit = wide ? 2 : 1;
        qsizetype size = wide ? 2 + 2 * (text.indexOf('>', text.indexOf("<HisSetting")) + 1)
                              : utf8.indexOf('>', utf8.indexOf("<HisSetting")) + 1;
        for (; size < whole.size(); size += zeros ? 2 : 1) {
            const QByteArray cut = whole.left(size);
            writeData(kHis, zeros ? cut + QByteArray(64, '\0') : cut);
            const QString shown = wide ? cvx::TextEncoding::fromUtf16(cut.left(size / unit * unit), order)
                                             .value_or(QString())
                                       : QString::fromUtf8(cut);
            const Lists read = BBInitDatas::getHospital();
            for (const QString group : {"hospital", "doctor"}) {
                const QStringList names = read.value(group), original = all.value(group);
                ASSERT_GE(names.size(), shown.count("</" + group)) << form << " " << size;
                ASSERT_EQ(names, original.mid(0, names.size())) << form << " " << size;  // none cut short
            }
            if (!shown.contains("<Hospital name=\"hospital\">")) continue;
            ASSERT_TRUE(BBInitDatas::setHospital({"X"}, "hospital")) << form << " " << size;
            ASSERT_EQ(BBInitDatas::getHospital().value("doctor"), read.value("doctor")) << form << " " << size;
        }
    }
    cvx::setXmlRepairLog({});
}

TEST(HospitalListTest, RewritesTheGroupNamedByTheType) {
    // Dentists first: the hospital list goes to its own group, not to the first one.
    installText(kHis,
                "<HisSetting><Doctor name='doctor'><doctor1>Dr A</doctor1><doctor2>Dr B</doctor2></Doctor>"
                "<Hospital name='hospital'><hospital1>Clinic 1</hospital1></Hospital></HisSetting>");
    ASSERT_TRUE(BBInitDatas::setHospital({"Clinic & Co", "<New>"}, "hospital"));
    EXPECT_EQ(groupEntries("Doctor"), QStringList({"Dr A", "Dr B"}));
    EXPECT_EQ(groupEntries("Hospital"), QStringList({"Clinic & Co", "<New>"}));
    ASSERT_TRUE(BBInitDatas::setHospital({}, "doctor"));
    EXPECT_EQ(BBInitDatas::getHospital(), (Lists{{"hospital", {"Clinic & Co", "<New>"}}, {"doctor", {}}}));
    ASSERT_TRUE(BBInitDatas::setHospital({"Dr C", " "}, "doctor"));  // a blank name reads back empty
    EXPECT_EQ(BBInitDatas::getHospital().value("doctor"), QStringList({"Dr C", ""}));
    ASSERT_TRUE(BBInitDatas::setHospital({}, "doctor"));
    // Another type leaves the lists as they are.
    EXPECT_TRUE(BBInitDatas::setHospital({"X"}, "nurse"));
    EXPECT_EQ(groupEntries("Hospital"), QStringList({"Clinic & Co", "<New>"}));

    // Of repeated groups the one that is read is the one written; the other stays.
    installText(kHis,
                "<HisSetting><Hospital name='hospital'><hospital1>Old</hospital1></Hospital>"
                "<Doctor name='doctor'/><Hospital name='hospital'><hospital1>Shown</hospital1></Hospital>"
                "</HisSetting>");
    EXPECT_EQ(BBInitDatas::getHospital().value("hospital"), QStringList{"Shown"});
    ASSERT_TRUE(BBInitDatas::setHospital({"Saved"}, "hospital"));
    EXPECT_EQ(BBInitDatas::getHospital().value("hospital"), QStringList{"Saved"});
    EXPECT_EQ(groupEntries("Hospital"), QStringList({"Old", "Saved"}));
}

// A save answers YES only where what it writes reads back as saved and it loses nothing the
// editor did not show; else the file stays byte for byte.
TEST(HospitalListTest, RefusesASaveThatWouldLoseOrHideWhatItWrites) {
    const struct {
        const char *fixture;
        QByteArray text;
        bool dentistsSave;
        QStringList hospitals = {"X"};  // the hospital list saved
    } cases[] = {
        {"HisSetting_swapped.xml", {}, true},   // hospital2 and hospital3 out of place
        {"HisSetting_unnamed.xml", {}, false},  // a group without its name is never read
        // Well-formed, but the root is the hospital group: its entries are no groups.
        {nullptr, "<Hospital name='hospital'><hospital1>H1</hospital1><hospital2>H2</hospital2></Hospital>",
         false},
        {nullptr, "<HisSetting><Hospital name='hospital'>H1</Hospital><Doctor name='doctor'/></HisSetting>",
         true},
        {nullptr,
         "<HisSetting><Hospital name='hospital'><hospital1>H1</hospital1><doctor2>D2</doctor2></Hospital>"
         "<Doctor name='doctor'/></HisSetting>",
         true},
        // Damaged: the dentists inside the hospital group, or the root lost; none is read.
        {nullptr,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<HisSetting>\n    <Hospital name=\"hospital\">\n"
         "        <hospital1>H1</hospital1>\n\n    <Doctor name=\"doctor\">\n        D1</doctor1>\n"
         "        <doctor2>D2</doctor2>\n        <doctor3>D3</doctor3>\n",
         false},
        {nullptr,
         "<HisSetting><Hospital name='hospital'><hospital1>H1</hospital1>\n<Doctor name='doctor'></x>"
         "<doctor1>D1</doctor1><doctor2>D2</doctor2>",
         false},
        {nullptr, "<Hospital name='hospital'><hospital1>H1</hospital1><Doctor name='doctor'><doctor1>D1</doc",
         false},
        // What an entry holds beside its text: an attribute, a comment, an instruction.
        {nullptr,
         "<HisSetting><Hospital name='hospital'><hospital1>H1</hospital1><hospital2 note='keep me'>H2"
         "</hospital2></Hospital><Doctor name='doctor'><doctor1>D1<!-- keep me --></doctor1></Doctor></HisSetting>",
         false},
        {nullptr,
         "<HisSetting><Hospital name='hospital'><hospital1>H1<?keep me?></hospital1></Hospital><Doctor "
         "name='doctor'><doctor1>D1</doctor1></Doctor></HisSetting>",
         true},
        // Well-formed, of another kind: no writer writes into it.
        {nullptr,
         "<html><Hospital name='hospital'><hospital1>H1</hospital1></Hospital><Doctor name='doctor'/></html>",
         false},
        // A name XML 1.0 cannot hold, even as a reference: saved, or in the file.
        {nullptr,
         "<HisSetting><Hospital name='hospital'/><Doctor name='doctor'/></HisSetting>",
         true,
         {QStringLiteral("A\u0001B")}},
        {nullptr,
         "<HisSetting><Hospital name='hospital'/><Doctor name='doctor'/></HisSetting>",
         true,
         {QStringLiteral("A"), QString(QChar(0xFFFF))}},
        {nullptr,
         "<HisSetting><Hospital name='hospital'><hospital1>A&#01;B</hospital1></Hospital><Doctor "
         "name='doctor'/></HisSetting>",
         false},
    };
    cvx::setXmlRepairLog([](const QString &) {});
    for (const auto &c : cases) {
        c.fixture ? install(c.fixture, kHis) : writeData(kHis, c.text);
        const QByteArray before = contents(kHis);
        SCOPED_TRACE(before.toStdString());
        EXPECT_FALSE(BBInitDatas::setHospital(c.hospitals, "hospital"));
        EXPECT_EQ(contents(kHis), before);
        if (c.dentistsSave) {
            const Lists read = BBInitDatas::getHospital();
            ASSERT_TRUE(BBInitDatas::setHospital({"Y"}, "doctor"));
            EXPECT_EQ(BBInitDatas::getHospital(),
                      (Lists{{"hospital", read.value("hospital")}, {"doctor", {"Y"}}}));
        } else {
            EXPECT_FALSE(BBInitDatas::setHospital({"Y"}, "doctor"));
            EXPECT_EQ(contents(kHis), before);
        }
    }
    cvx::setXmlRepairLog({});
}

// The nodes of a group in order: an element as its name and text, any other node as "#" and its
// text.
QStringList nodesOf(const char *group) {
    QStringList nodes;
    for (const cvx::XmlElement &node :
         load(kHis).firstNodeForXPath(QStringLiteral("/HisSetting/%1").arg(group)).children())
        nodes << (node.isElement() ? node.name() + '=' + node.stringValue() : '#' + node.stringValue());
    return nodes;
}

// A comment or processing instruction is no place in a list: the entries around it are read, and
// a save keeps it after as many entries as stood before it (after the last one where the list
// is now shorter).
TEST(HospitalListTest, CommentsAndInstructionsAreNoPlaceInAList) {
    const struct {
        const char *hospitals, *doctors;
        QStringList hospitalNames, doctorNames;
        QStringList saved;  // the hospital list saved
        QStringList hospitalNodes, doctorNodes;
    } cases[] = {
        {"<!-- x --><hospital1>H1</hospital1><hospital2>H2</hospital2>",
         "<doctor1>D1</doctor1>",
         {"H1", "H2"},
         {"D1"},
         {"X"},
         {"# x ", "hospital1=X"},
         {"doctor1=D1"}},
        {"<hospital1>H1</hospital1><!-- x --><hospital2>H2</hospital2><?cvx y?>",
         "<doctor1>D1</doctor1><?cvx z?><doctor2>D2</doctor2>",
         {"H1", "H2"},
         {"D1", "D2"},
         {"X", "Y", "Z"},
         {"hospital1=X", "# x ", "hospital2=Y", "#y", "hospital3=Z"},
         {"doctor1=D1", "#z", "doctor2=D2"}},
        {"<hospital1>H1</hospital1><hospital2>H2</hospital2><!-- x --><hospital3>H3</hospital3>",
         "<!-- none -->",
         {"H1", "H2", "H3"},
         {},
         {"X"},
         {"hospital1=X", "# x "},
         {"# none "}},
        {"<!-- a --><hospital1>H1</hospital1><!-- b -->", "", {"H1"}, {}, {}, {"# a ", "# b "}, {}},
    };
    for (const auto &c : cases) {
        installText(kHis, QStringLiteral("<HisSetting><Hospital name=\"hospital\">%1</Hospital>"
                                         "<Doctor name=\"doctor\">%2</Doctor></HisSetting>")
                              .arg(c.hospitals, c.doctors));
        SCOPED_TRACE(contents(kHis).toStdString());
        EXPECT_EQ(BBInitDatas::getHospital(),
                  (Lists{{"hospital", c.hospitalNames}, {"doctor", c.doctorNames}}));
        ASSERT_TRUE(BBInitDatas::setHospital(c.saved, "hospital"));
        EXPECT_EQ(BBInitDatas::getHospital(), (Lists{{"hospital", c.saved}, {"doctor", c.doctorNames}}));
        EXPECT_EQ(nodesOf("Hospital"), c.hospitalNodes);
        EXPECT_EQ(nodesOf("Doctor"), c.doctorNodes);
        ASSERT_TRUE(BBInitDatas::setHospital(c.doctorNames, "doctor"));
        EXPECT_EQ(nodesOf("Doctor"), c.doctorNodes);
    }
}

TEST(HospitalListTest, RefusesAListWithoutItsGroup) {
    // The only group is the dentists': a hospital list has nowhere to go.
    install("HisSetting_doctorsonly.xml", kHis);
    const QByteArray before = contents(kHis);
    EXPECT_FALSE(BBInitDatas::setHospital({"H"}, "hospital"));
    EXPECT_EQ(contents(kHis), before);
    installText(kHis, "<HisSetting/>");
    EXPECT_FALSE(BBInitDatas::setHospital({"D"}, "doctor"));

    cvx::FileManager::removeItem(dataPath(kHis));
    EXPECT_TRUE(BBInitDatas::getHospital().isEmpty());
    EXPECT_FALSE(BBInitDatas::setHospital({"X"}, "hospital"));
    EXPECT_TRUE(contents(kHis).isNull());
}

TEST(HospitalListTest, UpdateFlag) {
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());
    BBInitDatas::setAutoVersionUp(true);
    EXPECT_TRUE(contents(kComm).isNull());

    // Only the exactly named element counts; the others stay.
    install(kComm);
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());
    BBInitDatas::setAutoVersionUp(true);
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp());
    EXPECT_EQ(load(kComm).stringsForXPath("/DATA/*"), QStringList({"/tmp/out", "1", "1", "1"}));
    BBInitDatas::setAutoVersionUp(false);
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());

    // A disk too full for the settings file keeps the old flag and still takes the note of it.
    {
        // Only the settings file's rename fails, so the note fits whatever the test folder's path.
        cvx::fileio::Calls full = cvx::fileio::systemCalls();
        full.rename = [](const char *from, const char *to, unsigned flags) {
            if (!QFile::decodeName(to).endsWith(kComm)) return cvx::fileio::systemCalls().rename(from, to, flags);
            errno = ENOSPC;
            return -1;
        };
        const cvx::fileio::ScopedCalls scoped(full);
        BBInitDatas::setAutoVersionUp(true);
    }
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());
    EXPECT_TRUE(QString::fromUtf8(contents("../Error.txt"))
                    .contains("The automatic update flag could not be stored: cannot write "));

    installText(kComm, "<DATA><AutoVersionUp>0</AutoVersionUp><AutoVersionUp>1</AutoVersionUp></DATA>");
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp());
    installText(kComm, "<DATA><A/><B/></DATA>");
    BBInitDatas::setAutoVersionUp(true);
    EXPECT_EQ(load(kComm).stringsForXPath("/DATA/*[3][self::AutoVersionUp]"), QStringList{"1"});
    // A file of another kind is not written into.
    installText(kComm, "<html><AutoVersionUp>0</AutoVersionUp></html>");
    BBInitDatas::setAutoVersionUp(true);
    EXPECT_EQ(contents(kComm), "<html><AutoVersionUp>0</AutoVersionUp></html>");
}

TEST(HospitalListTest, ListsAPatientsResultsNewestFirst) {
    install("Customer/P001.xml");
    const QList<OCMCustomerComment> rows = BBInitDatas::getDatas("P001", false);
    ASSERT_EQ(rows.size(), 3);
    const char *const expected[][5] = {
        {"2024-05-02", "10:15", "さくら歯科クリニック", "多め", "MS high"},
        {"2024-02-10", "09:00", "みなと台デンタルオフィス", "少なめ", "MS low"},
        {"2023-11-30", "16:45", "oldest", nullptr, nullptr},
    };
    for (int i = 0; i < 3; ++i) {
        const OCMCustomerComment &row = rows[i];
        EXPECT_EQ(QStringList({row.zno(), row.zname(), row.age(), row.zsex()}),
                  QStringList({"P001", "山田 花子", "44", "女"}));
        EXPECT_EQ(
            QStringList({row.date(), row.time(), row.hospital(), row.ms(), row.contentMs()}),
            QStringList({expected[i][0], expected[i][1], expected[i][2], expected[i][3], expected[i][4]}));
    }
    EXPECT_EQ(rows[0].rsvData(), "0001:V1.000,2024-05-02,10:15");
    EXPECT_EQ(rows[0].Datavalue7(), "80.0|66");
    EXPECT_EQ(rows[1].Sheetflg(), "済");
    EXPECT_TRUE(rows[2].ms().isNull());

    // A comment or processing instruction between the results is no result.
    const QByteArray file = contents("Customer/P001.xml");
    const qsizetype second = file.indexOf("<comment", file.indexOf("<comment") + 1);
    writeData("Customer/P001.xml", QByteArray(file).insert(second, "<!-- x --><?cvx y?>"));
    const QList<OCMCustomerComment> around = BBInitDatas::getDatas("P001", false);
    ASSERT_EQ(around.size(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(around[i].date(), expected[i][0]);
}

TEST(HospitalListTest, PatientsWithoutResultsAndFilesThatAreNoPatients) {
    for (const char *name : {"Customer/P002.xml", "Customer/P003.xml", "Customer/Check_Measure_Result.xml"})
        install(name);
    // No results: one blank row unless only results are wanted.
    const QList<OCMCustomerComment> blank = BBInitDatas::getDatas("P002", false);
    ASSERT_EQ(blank.size(), 1);
    EXPECT_EQ(QStringList({blank[0].zno(), blank[0].zname(), blank[0].age(), blank[0].zsex()}),
              QStringList({"P002", "佐藤 太郎", "49", "男"}));
    for (const QString &field :
         {blank[0].date(), blank[0].hospital(), blank[0].rsvData(), blank[0].contentNh3()})
        EXPECT_TRUE(!field.isNull() && field.isEmpty());
    EXPECT_TRUE(BBInitDatas::getDatas("P002", true).isEmpty());

    // Nor does a file with a comment but no result.
    writeData("Customer/P002.xml",
              contents("Customer/P002.xml").replace("</DATA>", "<!-- no results yet --></DATA>"));
    ASSERT_EQ(BBInitDatas::getDatas("P002", false).size(), 1);
    EXPECT_TRUE(!BBInitDatas::getDatas("P002", false)[0].date().isNull());
    EXPECT_TRUE(BBInitDatas::getDatas("P002", true).isEmpty());

    // A file cut short is read as far as it goes: here one result without its fields.
    for (bool isMode0 : {false, true}) {
        const QList<OCMCustomerComment> cut = BBInitDatas::getDatas("P003", isMode0);
        ASSERT_EQ(cut.size(), 1);
        EXPECT_EQ(QStringList({cut[0].zname(), cut[0].zsex(), cut[0].date(), cut[0].time()}),
                  QStringList({"broken", "", "2024-01-01", "08:00"}));
        EXPECT_TRUE(cut[0].hospital().isNull());
    }
    // One that yields no element at all counts as one without results.
    QFile unreadable(UsbUtils::customerFolder() + "/P004.xml");
    ASSERT_TRUE(unreadable.open(QIODevice::WriteOnly));
    unreadable.write("DATA name=broken");
    unreadable.close();
    ASSERT_EQ(BBInitDatas::getDatas("P004", false).size(), 1);
    EXPECT_EQ(BBInitDatas::getDatas("P004", false)[0].zsex(), "");
    EXPECT_TRUE(BBInitDatas::getDatas("P004", true).isEmpty());

    for (const char *chartNo : {"P404", "Check_Measure_Result", "../.Corvadenix/Customer/P002", ".P002", ""})
        EXPECT_TRUE(BBInitDatas::getDatas(chartNo, false).isEmpty()) << chartNo;
}

}  // namespace
