#include "journal/journalrow.h"

#include <QUuid>

QString JournalRow::NewId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString JournalRow::EntryText() const {
    if (!keyed)
        return QString();
    return *keyed ? QStringLiteral("вручную") : QStringLiteral("весы");
}
