#include "records/ResultFields.h"

#include <cstring>

namespace {

void appendText(pugi::xml_node node, QByteArray &out) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out.append(child.value());
        else if (child.type() == pugi::node_element)
            appendText(child, out);
    }
}

QString textOf(pugi::xml_node element) {
    const pugi::xml_node only = element.first_child();
    // The usual case: one text node and nothing else.
    if (!only) return QStringLiteral("");
    if ((only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata) && !only.next_sibling())
        return QString::fromUtf8(only.value());
    QByteArray text;
    appendText(element, text);
    return text.isEmpty() ? QStringLiteral("") : QString::fromUtf8(text);
}

}  // namespace

ResultFields::ResultFields(std::initializer_list<const char *> names) : names_(names), values_(names.size()) {
    for (const char *name : names_) lengths_.push_back(std::strlen(name));
}

void ResultFields::read(const cvx::XmlElement &result) {
    for (QString &value : values_) value = QString();
    if (!result.isElement()) return;
    for (pugi::xml_node child = result.pugiNode().first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char *name = child.name();
        const size_t length = std::strlen(name);
        for (size_t i = 0; i < names_.size(); ++i) {
            if (lengths_[i] == length && std::memcmp(name, names_[i], length) == 0) {
                values_[i] = textOf(child);
                break;
            }
        }
    }
}
