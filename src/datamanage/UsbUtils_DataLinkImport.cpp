#include "datamanage/DataLinkImport.h"
#include "records/UsbUtils.h"

bool UsbUtils::readCsvOrTxt(std::function<void(bool)> readCsvBlock) {
    return DataLinkImport::readCsvOrTxt(std::move(readCsvBlock));
}
