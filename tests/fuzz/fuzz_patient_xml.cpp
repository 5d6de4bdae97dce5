// Patient files as the program reads them: parsed strictly and tidily, every result element
// read into a record, sorted by date, pretty-printed again, and the stored file listed.
#include <QDir>

#include <cstddef>
#include <cstdint>

#include "FuzzSetUp.h"
#include "platform/XmlDocument.h"
#include "records/BBInitDatas.h"
#include "records/UsbUtils.h"

namespace {

QString patientPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    cvxfuzz::setUp(argc, argv);
    patientPath = UsbUtils::getXmlPath(QStringLiteral("F1"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const auto option : {cvx::XmlDocument::Option::None, cvx::XmlDocument::Option::Tidy}) {
        const std::optional<cvx::XmlDocument> document = cvx::XmlDocument::fromBytes(bytes, option);
        if (!document) continue;
        const QList<cvx::XmlElement> results = document->rootElement().children();
        for (qsizetype i = 0; i < results.size(); ++i) UsbUtils::getCustComment(results, i);
        UsbUtils::compareComment(results);
        document->stringsForXPath(
            QStringLiteral("/DATA/comment[@date='2024-01-01' and @time='10:00']/RsvData"));
        document->toBytes();
    }
    if (cvxfuzz::writeFile(patientPath, bytes.constData(), bytes.size())) {
        BBInitDatas::getDatas(QStringLiteral("F1"), false);
        UsbUtils::getCustomerXml(QStringLiteral("F1"));
    }
    return 0;
}
