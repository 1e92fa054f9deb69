#include "journal/journalrow.h"

#include <QUuid>

QString JournalRow::NewId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}
