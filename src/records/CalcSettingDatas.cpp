#include "records/CalcSettingDatas.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/FileManager.h"
#include "platform/XmlDocument.h"

namespace {

using cvx::XmlElement;

std::mutex sharedMutex;
std::unique_ptr<CalcSettingDatas> sharedInstance;
// The instance once loaded, read without the mutex: bulk jobs ask for it on every core for
// every item.
std::atomic<const CalcSettingDatas *> sharedLoaded{nullptr};

const QString kSrc = QStringLiteral("/CalcData/DATA[@title='SrcData']");
const QString kChg = QStringLiteral("/CalcData/DATA[@title='ChgData']");

[[noreturn]] void missing(const QString &what) {
    throw CalcSettingDatas::LoadError("CalcSetting.xml: missing " + what.toStdString());
}

// Lookups in a file that could not be parsed find nothing and leave every field unset;
// in a parsed file a missing node is a load failure.
class Reader {
public:
    explicit Reader(std::optional<cvx::XmlDocument> doc) : doc_(std::move(doc)) {}

    XmlElement node(const QString &xpath) const {
        if (!doc_) return {};
        XmlElement e = doc_->firstNodeForXPath(xpath);
        if (e.isNull()) missing(xpath);
        return e;
    }

    XmlElement child(const XmlElement &parent, const QString &name) const {
        if (!doc_) return {};
        XmlElement e = parent.firstElement(name);
        if (e.isNull()) missing(parent.name() + "/" + name);
        return e;
    }

    QString text(const XmlElement &parent, const QString &name) const {
        return doc_ ? child(parent, name).stringValue() : QString();
    }

    QString text(const QString &xpath) const { return doc_ ? node(xpath).stringValue() : QString(); }

    void setRangeValue(RangeValue &value, const XmlElement &elem) const {
        if (!doc_) return;
        const QStringList parts = elem.stringValue().split(QLatin1Char('|'));
        if (parts.size() < 2) missing(elem.name() + " \"min|max\"");
        value.setMax(parts[1]);
        value.setMin(parts[0]);
    }

    void setRangeData(RangeData &data, const XmlElement &elem) const {
        data.setAvgData(text(elem, QStringLiteral("AvgData")));
        setRangeValue(data.DataRange(), child(elem, QStringLiteral("DataRange")));
        setRangeValue(data.AvgRange(), child(elem, QStringLiteral("AvgRange")));
    }

    void setCoeffData(RangeData &data, const XmlElement &elem) const {
        data.setCoefC(text(elem, QStringLiteral("coefC")));
        data.setCoefD(text(elem, QStringLiteral("coefD")));
    }

    void setCalcValue(CalcValue &value, const QString &range) const {
        setRangeData(value.SrcData(), node(kSrc + range));
        setRangeData(value.ChgData(), node(kChg + range));
    }

private:
    std::optional<cvx::XmlDocument> doc_;
};

}  // namespace

CalcSettingDatas::CalcSettingDatas() {
    const QString path = cvx::FileManager::appendingPathComponent(
        cvx::FileManager::homeDirectory(), QStringLiteral(".Corvadenix/CalcSetting.xml"));
    const Reader r(cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy));

    r.setCalcValue(nh3_, QStringLiteral("/range[@title='NH3']"));
    r.setCalcValue(iNH3_, QStringLiteral("/range[@title='I_NH3']"));
    r.setCalcValue(leu_, QStringLiteral("/range[@title='LEU']"));

    const QString iLeu = QStringLiteral("/range[@title='I_LEU']");
    const QString use =
        r.child(r.node(kSrc + iLeu), QStringLiteral("Datas")).attribute(QStringLiteral("use"));
    iLEU_.setUseData(use == QLatin1String("more") ? 1 : use == QLatin1String("less") ? 0 : 2);

    const QString more = iLeu + QStringLiteral("/Datas/Data[@use='more']");
    const QString less = iLeu + QStringLiteral("/Datas/Data[@use='less']");
    r.setRangeData(iLEU_.More().SrcData(), r.node(kSrc + more));
    r.setRangeData(iLEU_.More().ChgData(), r.node(kChg + more));
    r.setCoeffData(iLEU_.More().SrcData(), r.node(kSrc + more));
    r.setRangeData(iLEU_.Less().SrcData(), r.node(kSrc + less));
    r.setRangeData(iLEU_.Less().ChgData(), r.node(kChg + less));
    iLEU_.setThreshold(r.text(kSrc + iLeu + QStringLiteral("/Threshold")));
}

const CalcSettingDatas &CalcSettingDatas::getInst() {
    if (const CalcSettingDatas *loaded = sharedLoaded.load(std::memory_order_acquire)) return *loaded;
    std::lock_guard lock(sharedMutex);
    if (!sharedInstance) {
        sharedInstance.reset(new CalcSettingDatas());
        sharedLoaded.store(sharedInstance.get(), std::memory_order_release);
    }
    return *sharedInstance;
}

void CalcSettingDatas::discardSharedForTesting() {
    std::lock_guard lock(sharedMutex);
    sharedLoaded.store(nullptr);
    sharedInstance.reset();
}
