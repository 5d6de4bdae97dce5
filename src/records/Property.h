#pragma once

// Accessors of a record's field, named as the records' users expect: `name()` reads the field,
// `setName(v)` replaces it. The field itself is `name_`. Put a default after the macro:
//     CVX_PROPERTY(QString, age, setAge) = QStringLiteral("");
// The macro leaves the class in its private section.
#define CVX_PROPERTY(Type, name, setter) \
public:                                  \
    const Type &name() const {           \
        return name##_;                  \
    }                                    \
    void setter(const Type &value) {     \
        name##_ = value;                 \
    }                                    \
                                         \
private:                                 \
    Type name##_

// As CVX_PROPERTY, with a second getter through which the field is changed in place (the mutable
// texts and the sub-records a record owns).
#define CVX_MUTABLE_PROPERTY(Type, name, setter) \
public:                                          \
    Type &name() {                               \
        return name##_;                          \
    }                                            \
    CVX_PROPERTY(Type, name, setter)
