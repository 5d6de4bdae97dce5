// The check-measurement file: the instrument's own check runs, which belong to no patient.
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

QString UsbUtils::spliceCheckRsvData(const QList<TYTestData> &records) {
    const UsbHID &hid = UsbHID::sharedManager();
    return checkRsvDataLine(hid.deviceNo(), hid.versionID(),
                            UsbManager::sharedUsbManager().testInfo().secondTest(), records);
}

bool UsbUtils::saveCheckMeasureResult(const TYTestInfo &testInfo) {
    cvx::FileManager::createDirectory(customerFolder());
    const QString path = getCheckXmlPath();
    std::lock_guard lock(SettingsFiles::writeMutex());
    std::optional<cvx::XmlDocument> doc;
    if (cvx::FileManager::fileExists(path)) {
        doc = patientFileToRewrite(path);
    } else {
        doc = cvx::XmlDocument::fromText(QStringLiteral("<DATA></DATA>"), cvx::XmlDocument::Option::Tidy);
        if (doc) {
            doc->setVersion(QStringLiteral("1.0"));
            doc->setCharacterEncoding(QStringLiteral("shift-jis"));
        }
    }
    if (!doc) return false;

    cvx::XmlElement root = doc->rootElement();
    root.setAttributes({{QStringLiteral("name"), QStringLiteral("")},
                        {QStringLiteral("birthday"), QStringLiteral("")},
                        {QStringLiteral("age"), QStringLiteral("")},
                        {QStringLiteral("sex"), QStringLiteral("0")}});
    const TYEachTest &second = testInfo.secondTest();
    const UsbHID &hid = UsbHID::sharedManager();
    cvx::XmlElement result = root.insertElement(0, QStringLiteral("comment"));
    result.setAttribute(QStringLiteral("date"), second.tyData());
    result.setAttribute(QStringLiteral("time"), second.tyTime());
    result.appendElement(QStringLiteral("RsvData"),
                         checkRsvDataLine(hid.deviceNo(), hid.versionID(), second, second.checkArray()));
    return doc->save(path);
}
