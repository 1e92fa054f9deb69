#include "ui/resources.h"

#include <QFile>
#include <QHash>

#include <mutex>

// Q_INIT_RESOURCE declares a function at file scope, so it cannot sit inside a namespace.
static void RegisterVarnetResources() {
    Q_INIT_RESOURCE(varnet);
}

void InitVarnetResources() {
    static std::once_flag once;
    std::call_once(once, RegisterVarnetResources);
}

QString VarnetIconPath(int nIconId) {
    return QStringLiteral(":/icons/%1.svg").arg(nIconId);
}

QIcon VarnetIcon(int nIconId) {
    // One icon per number for the whole run: an icon made afresh from its drawing has its
    // own engine, whose pictures pile up in the pixmap cache at every swap of a key's icon.
    static QHash<int, QIcon> made;
    if (const auto it = made.constFind(nIconId); it != made.cend())
        return *it;
    InitVarnetResources();
    const QString path = VarnetIconPath(nIconId);
    if (!QFile::exists(path))
        return QIcon();
    return *made.insert(nIconId, QIcon(path));
}
