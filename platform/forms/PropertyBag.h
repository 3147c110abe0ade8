#pragma once
// The property bag through which a user control saves and restores its persisted properties.
// A value equal to the default it is written with is not stored; reading a name that is not
// stored gives the default asked for. Names compare without regard to case.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace forms {

class PropertyBag {
public:
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const;
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue = QVariant());

    bool contains(const QString& name) const { return indexOf(name) >= 0; }
    // Names stored, in the order first written.
    QStringList names() const;

private:
    int indexOf(const QString& name) const;
    QList<QPair<QString, QVariant>> entries_;
};

}  // namespace forms
