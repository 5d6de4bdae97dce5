#include "records/ResultFields.h"

#include <algorithm>
#include <cstring>

namespace {

void appendText(pugi::xml_node node, std::string &out) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out.append(child.value());
        else if (child.type() == pugi::node_element)
            appendText(child, out);
    }
}

// The usual case, one text node and nothing else, is read in place; `scratch` holds the rest.
std::string_view textOf(pugi::xml_node element, std::string &scratch) {
    const pugi::xml_node only = element.first_child();
    if (!only) return {};
    if ((only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata) && !only.next_sibling())
        return only.value();
    scratch.clear();
    appendText(element, scratch);
    return scratch;
}

}  // namespace

ResultFields::ResultFields(std::initializer_list<const char *> names)
    : names_(names), nodes_(names.size()), values_(names.size()), texts_(names.size()) {
    for (const char *name : names_) {
        lengths_.push_back(std::strlen(name));
        longest_ = std::max(longest_, lengths_.back());
    }
}

void ResultFields::read(const cvx::XmlElement &result) {
    read(result.isElement() ? result.pugiNode() : pugi::xml_node());
}

void ResultFields::read(pugi::xml_node result) {
    for (size_t i = 0; i < nodes_.size(); ++i) {
        nodes_[i] = pugi::xml_node();
        if (!values_[i].isNull()) values_[i] = QString();
    }
    if (result.type() != pugi::node_element) return;
    for (pugi::xml_node child = result.first_child(); child; child = child.next_sibling()) {
        // Text has no name, so the kind is asked only of a node whose name is wanted; the length
        // and the last letter tell the wanted names apart before a comparison.
        const char *name = child.name();
        size_t length = 0;
        while (length <= longest_ && name[length]) ++length;
        if (length == 0 || length > longest_) continue;
        for (size_t i = 0; i < names_.size(); ++i) {
            if (lengths_[i] == length && names_[i][length - 1] == name[length - 1] &&
                std::memcmp(name, names_[i], length) == 0) {
                if (child.type() == pugi::node_element) nodes_[i] = child;
                break;
            }
        }
    }
}

std::string_view ResultFields::text(int index) const {
    const pugi::xml_node node = nodes_[size_t(index)];
    return node ? textOf(node, texts_[size_t(index)]) : std::string_view();
}

const QString &ResultFields::value(int index) const {
    QString &value = values_[size_t(index)];
    if (value.isNull() && nodes_[size_t(index)]) {
        const std::string_view utf8 = text(index);
        value = utf8.empty() ? QStringLiteral("") : QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
    return value;
}
