#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/XmlDocument.h"

// The children of a result element that a bulk reader writes out, read straight from the tree
// without turning every child into a text: for each wanted name, the text of the last child
// of that name (all text inside it, as XmlElement::stringValue gives it), "" when present but
// empty, null when absent. Reused from result to result, so a listing of every stored result
// makes no allocations but the texts it keeps.
class ResultFields {
public:
    explicit ResultFields(std::initializer_list<const char *> names);

    // Reads the wanted children of one result; a node that is no element gives none.
    void read(const cvx::XmlElement &result);
    void read(pugi::xml_node result);
    const QString &value(int index) const;
    // The same text as UTF-8, "" when absent; valid until the next read.
    std::string_view text(int index) const;

private:
    std::vector<const char *> names_;
    std::vector<size_t> lengths_;
    size_t longest_ = 0;
    std::vector<pugi::xml_node> nodes_;
    mutable std::vector<QString> values_;
    mutable std::vector<std::string> texts_;
};
