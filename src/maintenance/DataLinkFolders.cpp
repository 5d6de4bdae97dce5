#include "maintenance/DataLinkFolders.h"

#include <atomic>
#include <utility>

#include "platform/Dispatch.h"
#include "records/UsbUtils.h"

namespace {

DataLinkFolders::Import &installedImport() {
    static DataLinkFolders::Import import;
    return import;
}

DataLinkFolders::Result picture(const QString &name) {
    DataLinkFolders::Result result;
    result.kind = DataLinkFolders::Result::Kind::Picture;
    result.picture = name;
    return result;
}

DataLinkFolders::Result ofKind(DataLinkFolders::Result::Kind kind) {
    DataLinkFolders::Result result;
    result.kind = kind;
    return result;
}

// Shown when "DataTransfer.xml" could not be written.
const QString kNotStored = QStringLiteral("E403");

}  // namespace

struct DataLinkFolders::Alive {
    bool importing = false;
};

void DataLinkFolders::setImport(Import import) {
    installedImport() = std::move(import);
}

DataLinkFolders::DataLinkFolders() : alive_(std::make_shared<Alive>()) {}

DataLinkFolders::~DataLinkFolders() = default;

DataLinkFolders::Panel DataLinkFolders::showCsvView(Folder folder) {
    btnTag_ = folder;
    Panel panel;
    if (folder == Folder::Input) {
        panel.background = QStringLiteral("画面_データ連携読込み指定");
        panel.textFieldX = 390;
        panel.path = UsbUtils::inputValue();
    } else {
        panel.background = QStringLiteral("画面_データ連携保存先指定");
        panel.textFieldX = 360;
        panel.showsClear = true;
        panel.path = UsbUtils::outputValue();
    }
    return panel;
}

DataLinkFolders::Result DataLinkFolders::csvOk(const QString &pathText,
                                               std::function<void(const Result &)> importFinished) {
    if (pathText.isEmpty())
        return picture(btnTag_ == Folder::Input ? QStringLiteral("W306") : QStringLiteral("W305"));
    if (UsbUtils::isHaveMODE() == 0) return ofKind(Result::Kind::Nothing);
    if (UsbUtils::isRefusedLinkFolder(pathText)) return picture(QStringLiteral("folder_refused"));
    if (btnTag_ == Folder::Output) {
        return UsbUtils::saveOutput(pathText) ? ofKind(Result::Kind::Close) : picture(kNotStored);
    }

    // Two imports at once would write the same patient files side by side.
    if (alive_->importing) return ofKind(Result::Kind::Nothing);
    // Importing after a failed save would read the old folder under the new one's name.
    if (!UsbUtils::saveInput(pathText)) return picture(kNotStored);
    const Import &import = installedImport();
    if (!import) return picture(QStringLiteral("E404"));

    // A done() that is called after an import that reported none started is dropped too.
    auto reported = std::make_shared<std::atomic<bool>>(false);
    const bool started = import(
        [weak = std::weak_ptr<Alive>(alive_), reported, importFinished = std::move(importFinished)](bool ok) {
            if (reported->exchange(true)) return;
            cvx::Dispatch::mainAsync([weak, ok, importFinished] {
                const std::shared_ptr<Alive> alive = weak.lock();
                if (!alive) return;
                alive->importing = false;
                if (importFinished)
                    importFinished(ok ? ofKind(Result::Kind::Close) : picture(QStringLiteral("E404")));
            });
        });
    if (!started) {
        reported->store(true);
        return picture(QStringLiteral("E404"));
    }
    alive_->importing = true;
    return ofKind(Result::Kind::Importing);
}

DataLinkFolders::Result DataLinkFolders::csvClear() {
    if (btnTag_ != Folder::Output) return ofKind(Result::Kind::Nothing);
    if (!UsbUtils::saveOutput(QStringLiteral(""))) return picture(kNotStored);
    Result result = picture(QStringLiteral("clear_success"));
    result.resultY = 272;
    result.resultH = 93;
    return result;
}

bool DataLinkFolders::isImporting() const {
    return alive_->importing;
}
