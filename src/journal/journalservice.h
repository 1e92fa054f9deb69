// The journal service's side of the counter's journal: it alone writes the file on an
// installed counter. Each request is a JSON line with the rows of labels that printed (and the
// closes of shifts); the
// answer says how many rows the journal now holds and which it refused. The account of a row
// is the one the socket reports for the program that sent it, never what the request says, and
// a row no label could have printed is kept apart with the reason instead of joining the labels.
#pragma once

#include "journal/journalfile.h"
#include "journal/journalshift.h"

#include <QByteArray>
#include <QString>

class CJournalService {
public:
    explicit CJournalService(const QString& journalPath);

    // Opens the journal, checking it first: a damaged file is set aside unchanged and a fresh
    // one made (the next answer carries the message). False with Error() otherwise.
    bool Open();
    QString Error() const { return m_file.Error(); }
    const QString& Path() const { return m_path; }

    // The answer to one request line from a program of account.
    QByteArray Handle(const QByteArray& line, const QString& account);

    // The most rows one request may carry: a program hands over more in several.
    static constexpr int kMaxRows = 500;

private:
    bool Append(const QList<JournalRow>& rows, const QList<ShiftClose>& closes);

    QString m_path;
    CJournalFile m_file;
    QString m_notice; // a damaged file set aside, told to the next program that writes
};
