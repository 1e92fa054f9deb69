// Operator messages as modal message boxes, and the application object of the program,
// whose event dispatch is the last boundary for database errors.
#pragma once

#include <QApplication>

namespace ui {

// Routes platform::ReportMessage to a modal QMessageBox owned by the message's window (or
// the active window).
void InstallMessageBoxSink();

class CVarnetApplication : public QApplication {
public:
    CVarnetApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace ui
