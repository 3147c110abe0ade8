#include "forms/PropertyBag.h"

namespace forms {

int PropertyBag::indexOf(const QString& name) const {
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].first.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    const int i = indexOf(name);
    return i < 0 ? defaultValue : entries_[i].second;
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue) {
    const int i = indexOf(name);
    if (defaultValue.isValid() && value == defaultValue) {
        if (i >= 0) entries_.removeAt(i);
        return;
    }
    if (i >= 0) {
        entries_[i].second = value;
    } else {
        entries_.append({name, value});
    }
}

QStringList PropertyBag::names() const {
    QStringList out;
    for (const auto& e : entries_) out << e.first;
    return out;
}

}  // namespace forms
