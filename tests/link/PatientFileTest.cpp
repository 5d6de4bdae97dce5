// The patient file: storing a measurement, reading results back, marking them printed,
// classifying layouts, and the guard on chart numbers that become file names.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <random>
#include <thread>

#include "PatientFixture.h"
#include "platform/VirtualHidDevice.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"

using namespace patienttest;
using namespace std::string_view_literals;

namespace {

class PatientFile : public testing::Test {
protected:
    PatientFile() {
        cvx::VirtualHidHub::install();
        installCalcSettings();
        setChoices();
    }
    ~PatientFile() override {
        UsbManager::resetSharedForTesting();
        CalcSettingDatas::discardSharedForTesting();
    }
    static QList<cvx::XmlElement> results(const QString &chartNo) {
        const auto doc = UsbUtils::getCustomerXml(chartNo);
        return doc ? doc->rootElement().elements() : QList<cvx::XmlElement>();
    }
    static OCMCustomerComment newest(const QString &chartNo) {
        return UsbUtils::getCustComment(results(chartNo), 0);
    }
    // A file of `count` results stored one by one, read back as bytes.
    static QByteArray storedFile(const QString &chartNo, int count) {
        for (int i = 0; i < count; ++i) {
            TYTestInfo info = measurement(chartNo);
            info.secondTest().setTyTime(QStringLiteral("10:0%1").arg(i));
            EXPECT_TRUE(UsbUtils::saveCustomerComment(info, 5));
        }
        return readBytes(patientPath(chartNo));
    }
    // Each result's bytes in a well-formed file, and the result as read.
    static QList<std::pair<QByteArray, QString>> resultsOf(const QByteArray &whole) {
        const auto doc = cvx::XmlDocument::fromBytes(whole);
        QList<std::pair<QByteArray, QString>> list;
        for (qsizetype at = whole.indexOf("<comment"); at >= 0; at = whole.indexOf("<comment", at + 1))
            list.append({whole.mid(at, whole.indexOf("</comment>", at) + 10 - at),
                         doc->rootElement().elements()[list.size()].toString()});
        return list;
    }
    // Whether the stored file holds each result that `damaged` holds whole, as it was.
    static bool keepsWholeResults(const QString &chartNo, const QByteArray &damaged,
                                  const QList<std::pair<QByteArray, QString>> &results) {
        const auto doc = cvx::XmlDocument::fromFile(patientPath(chartNo));
        QStringList now;
        for (const cvx::XmlElement &r : doc->rootElement().elements("comment")) now << r.toString();
        for (const auto &[text, read] : results)
            if (damaged.contains(text) && !now.contains(read)) return false;
        return !readBytes(patientPath(chartNo)).contains("\xEF\xBF\xBD");
    }
    // Each value of a well-formed file's results as its name, a line end and its text.
    static QSet<QString> valuesOf(const QByteArray &whole) {
        QSet<QString> values;
        for (const cvx::XmlElement &leaf :
             cvx::XmlDocument::fromBytes(whole)->nodesForXPath("/DATA/comment/*"))
            values.insert(leaf.name() + '\n' + leaf.stringValue());
        return values;
    }
    // Whether each value of the stored file's older results is one the whole file held under its
    // name: none cut short, none under a name that nothing reads.
    static bool keepsNoValueCutShort(const QString &chartNo, const QSet<QString> &values) {
        const auto doc = cvx::XmlDocument::fromFile(patientPath(chartNo));
        const QList<cvx::XmlElement> leaves = doc->nodesForXPath("/DATA/comment[position() > 1]/*");
        return std::all_of(leaves.begin(), leaves.end(), [&](const cvx::XmlElement &leaf) {
            return values.contains(leaf.name() + '\n' + leaf.stringValue());
        });
    }
};

TEST(ChartNumberGuard, RefusesNamesThatLeaveTheFolderOrHideOrHitTheCheckFile) {
    const struct {
        QString text;
        bool patient;
        bool check;
    } cases[] = {
        {"", false, false},
        {"../x", false, false},
        {"/abs", false, false},
        {"a/b", false, false},
        {"..", false, false},
        {".hidden", false, false},
        {QString("a") + QChar(0) + "b", false, false},
        {"a\nb", false, false},
        {QString(QChar(0xD800)) + "x", false, false},  // unpaired surrogate
        {QString(251, 'x'), true, true},               // 255 bytes with ".xml"
        {QString(252, 'x'), false, false},
        {QString(84, QChar(0x6F22)), false, false},  // 3 bytes each
        {"CHECK_measure_result", false, true},
        {"a..b", true, true},
        {"患者 1", true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toUtf8().toHex().toStdString());
        EXPECT_EQ(UsbUtils::isSafeChartNumber(c.text, true), c.patient);
        EXPECT_EQ(UsbUtils::isSafeChartNumber(c.text, false), c.check);
        EXPECT_EQ(UsbUtils::getXmlPath(c.text).isNull(), !c.patient);
    }
    EXPECT_EQ(UsbUtils::getXmlPath("A-1"), patientPath("A-1"));

    // Every chart number that patient entry accepts names a file.
    const QString alphabet = QStringLiteral("0123456789azAZ()-_@+[] ");
    QRandomGenerator random(20260305);
    for (int i = 0; i < 2000; ++i) {
        QString text;
        for (int k = random.bounded(30); k >= 0; --k) text += alphabet[random.bounded(int(alphabet.size()))];
        if (!NSStringExt::validateDBCS(text, 30)) continue;
        ASSERT_TRUE(UsbUtils::isSafeChartNumber(text, true)) << text.toStdString();
    }
}

TEST_F(PatientFile, RootAttributesFollowWhoStoresAndWhetherTheFileExisted) {
    const QStringList empty{"", "", "", ""};
    const QStringList kept{"Old", "1970-01-01", "55", "0"};
    const struct {
        bool existed;
        qint64 status;
        const char *windowPatient;
        QStringList root;
        QString remark;
    } cases[] = {
        {false, 5, "R-1", empty, ""},
        {true, 5, "R-1", kept, ""},
        {false, 2, "R-2", empty, ""},
        {true, 2, "R-2", kept, ""},
        {true, 2, "R-1", {"  花子 佐藤", "1980-04-01", "45", "1"}, "要再検"},  // trailing blanks go
        {false, 2, "R-1", {"  花子 佐藤", "1980-04-01", "45", "1"}, "要再検"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + c.windowPatient + (c.existed ? " existing" : " new"));
        QFile::remove(patientPath("R-1"));
        if (c.existed)
            writeBytes(patientPath("R-1"), R"(<DATA name="Old" birthday="1970-01-01" age="55" sex="0"/>)");
        OCMCustInfo &p = UsbManager::sharedUsbManager().currentCustInfo();
        p.setCustomerNo(c.windowPatient);
        p.setFirstname("  花子");
        p.setLastname("佐藤  ");
        p.setBirthday(" 1980-04-01 ");
        p.setAge("45 ");
        p.setSex(" 1");
        p.setRemark("要再検");
        ASSERT_TRUE(UsbUtils::saveCustomerComment(measurement("R-1"), c.status));
        const cvx::XmlElement root = UsbUtils::getCustomerXml("R-1")->rootElement();
        EXPECT_EQ(root.attributes(),
                  (QList<cvx::XmlAttribute>{
                      {"name", c.root[0]}, {"birthday", c.root[1]}, {"age", c.root[2]}, {"sex", c.root[3]}}));
        EXPECT_EQ(newest("R-1").remark(), c.remark);
    }
}

TEST_F(PatientFile, IncompleteUnsafeOrUncalculableMeasurementsWriteNothing) {
    writeBytes(patientPath("U-1"), "DATA comment");  // no element, even when repaired
    writeBytes(patientPath("U-2"), "<html><body><p>hello</p></body></html>");
    const QString declaredShiftJis = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"shift-jis\"?><DATA name=\"\" birthday=\"\" age=\"\" sex=\"\">"
        "<comment date=\"2026-01-01\" time=\"10:00\"><Remark><![CDATA[é]]></Remark></comment></DATA>");
    writeBytes(patientPath("U-3"),
               "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(declaredShiftJis.utf16()),
                                       declaredShiftJis.size() * 2));
    TYTestInfo noDate = measurement("E-1");
    noDate.secondTest().setTyData(" ");
    TYTestInfo noTime = measurement("E-2");
    noTime.secondTest().setTyTime("");
    // Values would be made up from zeros for what never arrived.
    TYTestInfo noFirstPass = measurement("E-3");
    noFirstPass.setFirstTest(TYEachTest());
    TYTestInfo noFirstPad = measurement("E-4");
    noFirstPad.firstTest().setAlbTestData(TYTestData());
    TYTestInfo noSecondPad = measurement("E-5");
    noSecondPad.secondTest().nh3TestData().setTyName(" ");
    const struct {
        TYTestInfo info;
        UsbUtils::StoreResult result;
    } cases[] = {
        {measurement("../escape"), UsbUtils::StoreResult::Refused},
        {measurement(""), UsbUtils::StoreResult::Refused},
        {measurement("check_measure_result"), UsbUtils::StoreResult::Refused},
        {noDate, UsbUtils::StoreResult::Refused},
        {noTime, UsbUtils::StoreResult::Refused},
        {noFirstPass, UsbUtils::StoreResult::Refused},
        {noFirstPad, UsbUtils::StoreResult::Refused},
        {noSecondPad, UsbUtils::StoreResult::Refused},
        {measurement("U-1"), UsbUtils::StoreResult::Unreadable},
        {measurement("U-2"), UsbUtils::StoreResult::Unreadable},  // a file of another kind
        // A value that the declared encoding lacks, in a CDATA section, where its reference
        // would stand for itself: written, the value would change.
        {measurement("U-3"), UsbUtils::StoreResult::Unreadable},
    };
    const QStringList skip{".config", ".Corvadenix/CalcSetting.xml", "Error.txt"};
    const auto before = snapshot(cvx::FileManager::homeDirectory(), skip);
    for (const auto &c : cases)
        for (qint64 status : {2, 5}) EXPECT_EQ(UsbUtils::storeCustomerComment(c.info, status), c.result);

    removeCalcSettings();  // zero-width LEU and NH3 axes: the chart position throws
    AppDelegate::shared().installExceptionLogger();
    EXPECT_EQ(UsbUtils::storeCustomerComment(measurement("C-1"), 5),
              UsbUtils::StoreResult::CalculationFailed);
    AppDelegate::shared().uninstallExceptionLogger();
    EXPECT_EQ(snapshot(cvx::FileManager::homeDirectory(), skip), before);
    EXPECT_TRUE(readBytes(cvx::FileManager::homeDirectory() + "/Error.txt").contains("exception begin"));
}

// A damaged file takes the next measurement only where its repair merely closes what the text
// left open; any other is refused and the file left byte for byte. Damage met in practice first,
// then damage at random.
TEST_F(PatientFile, DamagedFileTakesTheNextMeasurementOnlyWhereItsRepairLosesNothing) {
    AppDelegate::shared();  // its error log takes the repair reports
    const QByteArray whole = storedFile("D-1", 5);
    const auto original = cvx::XmlDocument::fromBytes(whole);
    const QList<std::pair<QByteArray, QString>> results = resultsOf(whole);
    const QSet<QString> values = valuesOf(whole);
    QList<std::pair<QByteArray, std::pair<QString, QString>>> leaves;  // each leaf's bytes, its name and text
    for (const cvx::XmlElement &leaf : original->nodesForXPath("/DATA/comment/*"))
        leaves.append({"<" + leaf.toString().toUtf8() + ">", {leaf.name(), leaf.stringValue()}});
    const qsizetype second = whole.indexOf("<comment", whole.indexOf("<comment") + 1);
    const qsizetype oldest = whole.lastIndexOf("<comment");
    const struct {
        const char *from;
        std::string_view to;
        qsizetype after;
        bool stored;
        qsizetype cut = 0;   // bytes cut off the end as well
        bool every = false;  // every occurrence replaced
    } cases[] = {
        {"<Remark>", "<Remark>a\0b"sv, second, false},  // the rest would be cut off
        {"date=\"2026-03-05\"", "date=2026-03-05", second, false},
        {"</MS>", "</M>", second, true},   // a misspelt end tag holds no data
        {"</MS>", "", second, false, 40},  // the values after MS's word inside MS
        {"</comment>", "</commnet>", second, true},
        {"age=\"\"", "age\"\"", 0, false},                      // damaged root attribute
        {"?>", "", 0, false},                                   // declaration run into the root
        {"</comment>", "", second, false},                      // the older results nested in it
        {"</Doctor>", "", oldest, false},                       // the oldest one's values in its <Doctor>
        {"</DataValue1>", "&#0;</DataValue1>", second, false},  // read as is, "2.3|35" would go
        {"</DATA>", "</DATA>ATA>", 0, false},                   // text after the root would go
        {"<Remark>", "<Remark>\xff"sv, second, false},          // no UTF-8: read as U+FFFD only
        {"UTF-8", "ASCII", 0, false},                           // every Japanese text would go
        {"</DATA>", "", 0, true},
        {"</DATA>", "\0\0"sv, 0, true},                              // cut short, NULs after a crash
        {"<TotalComment>", "<TotalComent>", second, true},           // kept under the name that is read
        {"</TotalComment>", "</TotalComment></Foo>", second, true},  // end tags that close nothing
        {"</comment>", "</comment></Foo>", second, true},
        {"</Remark>", "</Doctor>", second, false},            // a <Remark> that ends as a <Doctor>?
        {"</DATA>", "</DATA>\n<?cvx a <? b?>\n"sv, 0, true},  // well-formed
        {"DATA", "html", 0, false, 0, true},                  // well-formed, of another kind
        {"</Remark>", "&#01;</Remark>", second, false},       // no write may keep it
    };
    std::mt19937 random(5309);
    const auto below = [&](qsizetype n) {
        return qsizetype(random() % std::uint32_t(std::max<qsizetype>(n, 1)));
    };
    static const char kTelling[] = {'<', '>', '/', '"', '=', ' ', '\0', 'x', '\x80'};
    int stored = 0;
    for (int i = 0; i < int(std::size(cases)) + 2000; ++i) {
        SCOPED_TRACE(i);
        QByteArray bytes = whole;
        const qsizetype at = below(bytes.size()), kind = below(4);
        const char c = kTelling[below(sizeof kTelling)];
        if (i < int(std::size(cases))) {
            if (cases[i].every)
                bytes.replace(cases[i].from,
                              QByteArrayView(cases[i].to.data(), qsizetype(cases[i].to.size())));
            else
                bytes.replace(bytes.indexOf(cases[i].from, cases[i].after), qstrlen(cases[i].from),
                              cases[i].to);
            bytes.chop(cases[i].cut);
        } else if (kind < 2)
            kind == 0 ? void(bytes[at] = c) : void(bytes.insert(at, c));
        else
            kind == 2 ? void(bytes.remove(at, 1 + below(24))) : bytes.truncate(at);
        if (i == 0) {  // the root start tag lost and the first result cut: that result is no root
            const qsizetype root = whole.indexOf("<DATA"), first = whole.indexOf("<comment");
            const QByteArray lost = whole.left(root) + whole.mid(first, 200);
            writeBytes(patientPath("D-1"), lost);
            EXPECT_EQ(UsbUtils::storeCustomerComment(measurement("D-1"), 5),
                      UsbUtils::StoreResult::Unreadable);
            EXPECT_EQ(readBytes(patientPath("D-1")), lost);
        }
        writeBytes(patientPath("D-1"), bytes);
        const UsbUtils::StoreResult result = UsbUtils::storeCustomerComment(measurement("D-1"), 5);
        if (i < int(std::size(cases))) {
            EXPECT_EQ(result == UsbUtils::StoreResult::Stored, cases[i].stored);
        }
        if (result != UsbUtils::StoreResult::Stored) {
            ASSERT_EQ(result, UsbUtils::StoreResult::Unreadable);
            ASSERT_EQ(readBytes(patientPath("D-1")), bytes);
            continue;
        }
        // The new result first, then every result of the text as one of its own; those that the
        // damage left whole as they were.
        ++stored;
        const auto doc = cvx::XmlDocument::fromFile(patientPath("D-1"));
        ASSERT_TRUE(doc && doc->nodesForXPath("//comment//comment").isEmpty());
        QStringList now;
        for (const cvx::XmlElement &r : doc->rootElement().elements("comment")) now << r.toString();
        // A start tag that a cut split is no result.
        ASSERT_EQ(now.size(),
                  QString::fromLatin1(bytes).count(QRegularExpression("<comment[\\s>/][^>]*>")) + 1);
        ASSERT_TRUE(now[0].contains("time=\"09:08\""));
        ASSERT_TRUE(keepsWholeResults("D-1", bytes, results));
        if (i >= int(std::size(cases)) && kind == 3) {
            ASSERT_TRUE(keepsNoValueCutShort("D-1", values));
        }
        // Every value that the damage left whole is in its place.
        for (const auto &[leaf, value] : leaves)
            ASSERT_TRUE(
                !bytes.contains(leaf) ||
                !doc->nodesForXPath(QStringLiteral("/DATA/comment/%1[.=%2]")
                                        .arg(value.first, cvx::XmlDocument::xpathLiteral(value.second)))
                     .isEmpty())
                << leaf.constData();
    }
    EXPECT_TRUE(stored > 200 && stored < 1800) << stored;  // both ends met
    const QByteArray log = readBytes(cvx::FileManager::homeDirectory() + "/Error.txt");
    EXPECT_TRUE(log.contains("XML repaired on reading " + patientPath("D-1").toUtf8())) << log.constData();
}

// A file cut short anywhere, as a crash or a full disk leaves it, takes the next measurement
// and keeps every result that the cut left whole.
TEST_F(PatientFile, EveryCutOfAStoredFileTakesTheNextMeasurement) {
    const QByteArray whole = storedFile("C-1", 2);
    const QList<std::pair<QByteArray, QString>> results = resultsOf(whole);
    const QSet<QString> values = valuesOf(whole);
    for (qsizetype size = whole.indexOf('>', whole.indexOf("<DATA")) + 1; size < whole.size(); ++size) {
        writeBytes(patientPath("C-1"), whole.left(size));
        ASSERT_EQ(UsbUtils::storeCustomerComment(measurement("C-1"), 5), UsbUtils::StoreResult::Stored)
            << size;
        ASSERT_TRUE(keepsWholeResults("C-1", whole.left(size), results)) << size;
        ASSERT_TRUE(keepsNoValueCutShort("C-1", values)) << size;
    }
}

// A character XML 1.0 cannot hold, even as a reference (pasted into a remark, or in a hospital
// name of an older file), is left out of the stored result rather than the measurement lost or
// a file written that only a tolerant reader takes.
TEST_F(PatientFile, TextsXmlCannotHoldAreLeftOutOfTheStoredResult) {
    const QString bad = QStringLiteral("\u0001\u001f") + QChar(0xFFFE);
    const struct {
        const char *label;
        const char *key;  // the user default that holds the character, or null for the remark
    } cases[] = {{"hospital", "zhospital"},
                 {"dentist", "zdoctor"},
                 {"overall comment", "ztotal"},
                 {"remark", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        QFile::remove(patientPath("X-1"));
        setChoices();
        OCMCustInfo &p = UsbManager::sharedUsbManager().currentCustInfo();
        p.setCustomerNo("X-1");
        p.setFirstname("花" + bad + "子");
        p.setRemark("要再検");
        if (c.key)
            cvx::UserDefaults::standard().setObject("さくら" + bad + "歯科", QString::fromLatin1(c.key));
        else
            p.setRemark("要" + bad + "再検");
        ASSERT_EQ(UsbUtils::storeCustomerComment(measurement("X-1"), 2), UsbUtils::StoreResult::Stored);
        const QByteArray bytes = readBytes(patientPath("X-1"));
        EXPECT_FALSE(bytes.contains("&#")) << bytes.constData();
        const OCMCustomerComment stored = newest("X-1");
        const QString expected = c.key ? QStringLiteral("さくら歯科") : QStringLiteral("要再検");
        const QString key = c.key ? QString::fromLatin1(c.key) : QString();
        EXPECT_EQ(key == "zhospital" ? stored.hospital()
                  : key == "zdoctor" ? stored.doctor()
                  : key == "ztotal"  ? stored.Totalcomment()
                                     : stored.remark(),
                  expected);
        EXPECT_EQ(UsbUtils::getCustomerXml("X-1")->rootElement().attribute("name"), "花子");
    }
}

TEST_F(PatientFile, ValuesAtTheEdgesOfTheFormulas) {
    TYTestInfo info = measurement("V-1");
    info.firstTest().msTestData().setTyRefTempBefor("100");
    info.secondTest().msTestData().setTyRefTempBefor("123");  // MS from the integer difference
    info.firstTest().bldTestData().setTyRefTempBefor("0");    // no logarithm of 0
    info.firstTest().leuTestData().setTyRefTempBefor("200");  // at the threshold: Less
    info.secondTest().nh3TestData().setTyRefTempBefor("");    // missing reads as 0
    ASSERT_TRUE(UsbUtils::saveCustomerComment(info, 5));
    const OCMCustomerComment c = newest("V-1");
    EXPECT_EQ(c.Datavalue1(), "2.3|35");
    EXPECT_EQ(c.Datavalue4(), "0.0|100");
    EXPECT_EQ(c.Datavalue5(), "20.0|70");  // Less: (2 - 1.30103) x 100; More would give 78
    EXPECT_EQ(c.Datavalue7(), "0.0|100");

    // A short comment choice gives no comment rather than no result.
    cvx::UserDefaults::standard().setObject(QVariantList{QVariantList{"a"}}, "zcontent");
    info.secondTest().setTyTime("10:00");
    ASSERT_TRUE(UsbUtils::saveCustomerComment(info, 5));
    EXPECT_EQ(newest("V-1").contentNh3(), "");
}

TEST_F(PatientFile, ReadingBackGivesTheStoredTextsAndLeavesMissingChildrenUnset) {
    // A result holding a value twice holds a piece of another: neither is shown as its own.
    const QByteArray twice = R"(<DATA>
  <comment date="2026-01-01" time="10:00"><Hospital>H1</Hospital><MS>M</MS><Hospital>H2</Hospital></comment>
</DATA>)";
    writeBytes(patientPath("F-1"), twice);
    EXPECT_TRUE(results("F-1").isEmpty());
    EXPECT_EQ(readBytes(patientPath("F-1")), twice);

    writeBytes(patientPath("F-1"), R"(<DATA>
  <comment date="2026-01-01" time="10:00">
    <Content1></Content1><SaveDate>x</SaveDate>
    <MS>多め</MS><Hospital>H2</Hospital><Other>y</Other>
  </comment>
  <comment date="2025-01-01" time="10:00"><Content1>old</Content1></comment>
</DATA>)");
    const QList<cvx::XmlElement> list = results("F-1");
    OCMCustomerComment c = UsbUtils::getCustComment(list, 0);
    EXPECT_EQ(c.hospital(), "H2");
    EXPECT_EQ(c.ms(), "多め");
    EXPECT_FALSE(c.contentMs().isNull());
    EXPECT_EQ(c.contentMs(), "");
    EXPECT_TRUE(c.doctor().isNull());
    EXPECT_TRUE(c.date().isNull());

    OCMCustomerComment a = UsbUtils::getCustComment(list, 1), b = UsbUtils::getCustComment(list, 1);
    a.contentMs().append("!");
    EXPECT_EQ(b.contentMs(), "old");
    EXPECT_EQ(UsbUtils::findXML(list, b, 2).contentMs(), "old");  // outside the list: unchanged
}

TEST_F(PatientFile, PrintingSetsTheFlagOfTheMatchingResultByName) {
    writeBytes(patientPath("S-1"), R"(<DATA>
  <comment date="2026-03-05" time="09:08"><Hospital/><Doctor/><SheetFlg>-</SheetFlg></comment>
  <comment date="2026-03-05" time="09:00"><Hospital/><Doctor/><SheetFlg>-</SheetFlg></comment>
  <comment date="2025-01-01" time="10:00"><Hospital/><Remark/><Doctor>D</Doctor><SheetFlg>-</SheetFlg></comment>
  <comment date="2024-01-01" time="10:00"><Hospital/><Doctor/><Remark>R</Remark></comment>
</DATA>)");
    const struct {
        const char *date;
        const char *time;
        QStringList flags;
    } cases[] = {
        {"2026-03-05", "09:00", {"-", "済", "-", ""}},
        {"2025-01-01", "10:00", {"-", "済", "済", ""}},  // SheetFlg is its fourth child
        {"2024-01-01", "10:00", {"-", "済", "済", ""}},  // none: the result stays as it is
        {"2026-03-05", "10:00", {"-", "済", "済", ""}},  // no such result
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        EXPECT_TRUE(UsbUtils::savePrintInfo("S-1", c.date, c.time));
        const QList<cvx::XmlElement> list = results("S-1");
        QStringList flags;
        for (const cvx::XmlElement &r : list) flags << r.firstElement("SheetFlg").stringValue();
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(list[2].elements()[2].stringValue(), "D");
        EXPECT_EQ(list[3].elements()[2].stringValue(), "R");
    }
    EXPECT_FALSE(UsbUtils::savePrintInfo("nobody", "2026-03-05", "09:08"));
    EXPECT_FALSE(QFile::exists(patientPath("nobody")));
    // A file of another kind in a patient file's place is not written into.
    const QByteArray page =
        R"(<html><comment date="2026-03-05" time="09:08"><SheetFlg>-</SheetFlg></comment></html>)";
    writeBytes(patientPath("S-2"), page);
    EXPECT_FALSE(UsbUtils::savePrintInfo("S-2", "2026-03-05", "09:08"));
    EXPECT_EQ(readBytes(patientPath("S-2")), page);
}

// The data imports write patient files on worker threads while the link stores on the
// main thread: no writer may drop another's result.
TEST_F(PatientFile, WritersOnSeveralThreadsKeepEveryChange) {
    UsbManager::sharedUsbManager();
    CalcSettingDatas::getInst();
    ASSERT_TRUE(UsbUtils::saveCustomerComment(measurement("T-1"), 5));
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([i] {
            TYTestInfo info = measurement("T-1");
            info.secondTest().setTyTime(QStringLiteral("10:%1").arg(i, 2, 10, QLatin1Char('0')));
            EXPECT_TRUE(UsbUtils::saveCustomerComment(info, 5));
            EXPECT_TRUE(UsbUtils::savePrintInfo("T-1", "2026-03-05", "09:08"));
            EXPECT_TRUE(UsbUtils::saveCheckMeasureResult(info));
        });
    }
    for (std::thread &t : threads) t.join();
    const QList<cvx::XmlElement> list = results("T-1");
    EXPECT_EQ(list.size(), 9);
    EXPECT_EQ(UsbUtils::getCustComment(list, list.size() - 1).Sheetflg(), "済");
    const auto checks = cvx::XmlDocument::fromFile(UsbUtils::getCheckXmlPath());
    ASSERT_TRUE(checks);
    EXPECT_EQ(checks->rootElement().elements().size(), 8);
}

// Two processes that write anyway (a copy started with another environment, a tool) store
// into one patient file and set user defaults at once: every result and every key remains.
TEST_F(PatientFile, TwoProcessesWritingAtOnceLoseNothing) {
    ASSERT_TRUE(cvx::UserDefaults::standard().flush());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    constexpr int kCount = 100;
    QProcess writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w].setProcessEnvironment(environment);
        writers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[w].start(QStringLiteral(CVX_PATIENT_WRITER),
                         {QString::number(w + 1), QString::number(kCount)});
    }
    for (QProcess &writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(240000));
        EXPECT_EQ(writer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(writer.exitCode(), 0);
    }
    EXPECT_EQ(results("T-1").size(), 2 * kCount);
    const cvx::UserDefaults defaults(cvx::UserDefaults::defaultFilePath());
    for (int w = 1; w <= 2; ++w) {
        for (int i = 0; i < kCount; ++i)
            EXPECT_EQ(defaults.stringForKey(QStringLiteral("w%1-%2").arg(w).arg(i)), QString::number(i));
    }
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("zhospital")), QStringLiteral("さくら歯科"));
}

TEST_F(PatientFile, LayoutClassesAndOldestFirstOrder) {
    const QString attrs = R"(name="" birthday="" age="" sex="")";
    const struct {
        QString content;  // empty: no file
        int layout;
    } cases[] = {
        {"", 0},
        {"DATA", 0},
        {"<DATA>", 1},  // read as repaired: a root without attributes
        {"<DATA name=\"a\"><comment><RsvData/></comment></DATA>", 1},
        {"<DATA " + attrs + "><comment><MS/><RsvData/></comment><x><SaveDate/></x></DATA>", 2},
        {"<DATA " + attrs + "><comment><RsvData/><SaveDate/></comment></DATA>", 0},
        {"<DATA " + attrs + "/>", 0},
        {"<DATA " + attrs + "><comment/></DATA>", 0},
    };
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QString path = dataFolder() + QStringLiteral("/import/%1.xml").arg(i);
        if (!cases[i].content.isEmpty()) writeBytes(path, cases[i].content.toUtf8());
        EXPECT_EQ(UsbUtils::isOldData(path), cases[i].layout) << i;
    }

    writeBytes(patientPath("O-1"), R"(<DATA>
  <comment date="2026-03-05" time="09:08" n="1"/><comment date="2025-12-31" time="23:59" n="2"/>
  <comment date="2026-03-05" time="09:07" n="3"/><comment date="2026-03-05" time="09:08" n="4"/>
  <comment date="2026-3-5" time="08:00" n="5"/>
</DATA>)");
    QStringList order;
    for (const cvx::XmlElement &e : UsbUtils::compareComment(results("O-1"))) order << e.attribute("n");
    EXPECT_EQ(order, QStringList({"2", "3", "1", "4", "5"}));  // texts, not dates
}

}  // namespace
