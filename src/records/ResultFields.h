#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>
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
    const QString &value(int index) const { return values_[size_t(index)]; }

private:
    std::vector<const char *> names_;
    std::vector<size_t> lengths_;
    std::vector<QString> values_;
};
