#include "ui/resources.h"

#include <QFile>

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
    InitVarnetResources();
    const QString path = VarnetIconPath(nIconId);
    if (!QFile::exists(path))
        return QIcon();
    return QIcon(path);
}
