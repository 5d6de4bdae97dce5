// Files the linked program drops into the data link's input folder, and the patient list of the
// data-management window. The first byte chooses the layout (mode 3 ".csv" or ".txt", mode 4
// ".txt", mode 5 ".csv", the patient list), the rest is the file; the import reads it, stores its
// patients and removes it.
#include <QDir>

#include <cstddef>
#include <cstdint>

#include "FuzzSetUp.h"
#include "datamanage/DataLinkImport.h"
#include "datamanage/PatientListImport.h"
#include "records/UsbUtils.h"

namespace {

QString inputFolder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    inputFolder = QDir(cvxfuzz::setUp(argc, argv)).filePath(QStringLiteral("input"));
    QDir().mkpath(UsbUtils::customerFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const char *const extensions[] = {"csv", "txt", "txt", "csv", "csv"};
    const int layout = data[0] % 5;
    const QString path =
        QDir(inputFolder).filePath(QStringLiteral("P1.") + QLatin1String(extensions[layout]));
    if (!cvxfuzz::writeFile(path, reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1)) return 0;
    if (layout < 2)
        DataLinkImport::loadAndSaveMode3WithPath(inputFolder);
    else if (layout == 2)
        DataLinkImport::loadAndSaveMode4WithPath(inputFolder);
    else if (layout == 3)
        DataLinkImport::loadAndSaveMode5WithPath(inputFolder);
    else
        PatientListImport::importList(path);
    // Each input on its own: what it left behind goes.
    QDir(inputFolder).removeRecursively();
    QDir(UsbUtils::customerFolder()).removeRecursively();
    QDir().mkpath(UsbUtils::customerFolder());
    return 0;
}
