// A journal row as the programs of a counter hand it to the journal service: one JSON object
// per row, the moments as the journal file stores them. The account is never part of it: the
// service takes it from the socket.
#pragma once

#include "journal/journalrow.h"
#include "journal/journalshift.h"

#include <QJsonObject>

namespace journalwire {

QJsonObject ToJson(const JournalRow& row);
// The row of a JSON object; false when a field is missing or of the wrong type.
bool FromJson(const QJsonObject& object, JournalRow* row);

// A «Закрыть смену» the same way: its identifier and moment (the account is the socket's).
QJsonObject ToJson(const ShiftClose& close);
bool FromJson(const QJsonObject& object, ShiftClose* close);

// One request line to the service: rows of labels and closes of shifts.
QByteArray Request(const QList<JournalRow>& rows, const QList<ShiftClose>& closes);

// Whether a label could have printed the row: a row identifier, a moment, a code and texts of
// sane length, thirteen barcode digits with their check digit, a quantity, price and sum
// within what a label and the journals hold. Empty when it could; the reason otherwise.
QString Implausible(const JournalRow& row);

} // namespace journalwire
