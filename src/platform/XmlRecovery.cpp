#include "platform/XmlRecovery.h"

#include <QCryptographicHash>
#include <QSet>
#include <QtDebug>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <limits>
#include <memory>
#include <mutex>

namespace cvx {

namespace {

// Nothing is ever loaded from outside the text, whatever the options of a later caller.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr) {
    return nullptr;
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
    });
}

struct Faults {
    QString first;
};

void collectFault(void *userData, xmlErrorPtr fault) {
    auto *ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto *faults = ctxt ? static_cast<Faults *>(ctxt->_private) : nullptr;
    if (!faults || !fault || !faults->first.isEmpty()) return;
    faults->first = QStringLiteral("line %1, column %2: %3")
                        .arg(fault->line)
                        .arg(fault->int2)
                        .arg(QString::fromUtf8(fault->message ? fault->message : "").trimmed());
}

struct CtxtFree {
    void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct BufferFree {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

XmlRepairLog &repairLog() {
    static XmlRepairLog log;
    return log;
}

std::mutex &repairMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::optional<QByteArray> recoverXml(const QByteArray &utf8, QString *problem) {
    initialiseOnce();
    if (utf8.size() > std::numeric_limits<int>::max()) return std::nullopt;
    const std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    Faults faults;
    ctxt->_private = &faults;
    ctxt->sax->serror = collectFault;
    // No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: entities are neither expanded nor fetched.
    const std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), utf8.constData(),
                                                                 int(utf8.size()), nullptr, "UTF-8",
                                                                 XML_PARSE_RECOVER | XML_PARSE_NONET));
    if (problem) *problem = faults.first;
    if (!doc || !xmlDocGetRootElement(doc.get())) return std::nullopt;

    const std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (!buffer) return std::nullopt;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!save) return std::nullopt;
    const long written = xmlSaveDoc(save, doc.get());
    xmlSaveClose(save);
    if (written < 0) return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer.get())),
                      qsizetype(xmlBufferLength(buffer.get())));
}

void setXmlRepairLog(XmlRepairLog log) {
    std::lock_guard lock(repairMutex());
    repairLog() = std::move(log);
}

void reportXmlRepair(const QString &source, const QByteArray &content, const QString &problem) {
    const QString text = QStringLiteral("\nXML repaired on reading %1 (%2)\n").arg(source, problem);
    XmlRepairLog log;
    {
        std::lock_guard lock(repairMutex());
        // A damaged file is read again and again; one report tells all there is to tell.
        static QSet<QByteArray> reported;
        const QByteArray key =
            source.toUtf8() + '\0' + QCryptographicHash::hash(content, QCryptographicHash::Sha1);
        if (reported.contains(key)) return;
        reported.insert(key);
        log = repairLog();
    }
    if (log)
        log(text);
    else
        qWarning().noquote() << text.trimmed();
}

}  // namespace cvx
