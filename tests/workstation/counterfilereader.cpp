// A helper process for the tests of what stands in a counter file's place: reads one file of
// the counter folder given as the workstation does, in a process of its own that a test can
// stop when it waits. counterfilereader WHAT FOLDER, WHAT one of settings, weight, piece,
// journal, pending. Prints every operator message on one line ("message: "), the journal
// dialog's line ("dialog: "), then what the program went on with ("went on: ").
#include "app/varnetapp.h"
#include "journal/journal.h"
#include "labels/layoutfile.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

JournalRow Label() {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = QDateTime::currentDateTime();
    r.code = QStringLiteral("12");
    r.name = QStringLiteral("Филе");
    r.quantity = 0.5;
    r.price = 100;
    r.sum = 50;
    r.barcode = QStringLiteral("2700012005005");
    r.printer = QStringLiteral("VarnetZPL");
    return r;
}

int Rows(const QString& path) {
    CJournalFile file;
    bool ok = false;
    const int count = file.OpenReadOnly(path) ? int(file.All(&ok).size()) : -1;
    return ok ? count : -1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    const QString what = args[1];
    const QString dir = args[2];
    platform::SetModuleDirectoryOverride(dir);
    QTextStream out(stdout);
    platform::SetMessageSink([&out](const platform::OperatorMessage& m) {
        out << "message: " << OneLine(m.text) << Qt::endl;
    });
    CVarnetApp app;
    if (what == QLatin1String("settings")) {
        app.LoadSettings();
        out << "went on: user " << app.m_settings.User << '\n';
    } else if (what == QLatin1String("weight") || what == QLatin1String("piece")) {
        // A layout that did not come from its file is blank; printing names the file.
        const bool bWeight = what == QLatin1String("weight");
        const QString path = dir + labels::LayoutFileName(bWeight);
        CBarCodeLabelInfo layout, defaults;
        labels::LoadLayout(path, bWeight, layout);
        defaults.SetDefaults(bWeight);
        platform::ReportMessage(labels::LayoutFileProblem(path, bWeight));
        out << "went on: "
            << (labels::SerializeLayout(layout) == labels::SerializeLayout(defaults)
                    ? "the kind's defaults"
                    : "another layout")
            << '\n';
    } else if (what == QLatin1String("journal") || what == QLatin1String("pending")) {
        CJournal journal(dir + QLatin1Char('/') + CJournal::FileName());
        journal.Prepare();
        journal.Record(Label());
        journal.Rows(QDate::currentDate().startOfDay(),
                     QDate::currentDate().addDays(1).startOfDay());
        out << "dialog: " << OneLine(journal.ReadError()) << '\n';
        const QString pending = journal.PendingPath();
        journal.Close();
        if (what == QLatin1String("journal"))
            out << "went on: " << Rows(pending) << " kept aside\n";
        else
            out << "went on: " << Rows(journal.Path()) << " written\n";
    } else {
        return 2;
    }
    return 0;
}
