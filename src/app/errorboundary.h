// The user interface's boundary for database errors: an operation that does not handle a
// database error itself ends where it failed, and the operator sees the driver's text with
// a stop icon; the screen keeps running.
#pragma once

#include "platform/messages.h"
#include "platform/odbc.h"

class QWidget;

template <typename F> bool ReportDatabaseErrors(QWidget* owner, F&& operation) {
    try {
        operation();
        return true;
    } catch (const platform::odbc::DatabaseError& e) {
        platform::ReportMessage(e.Text(), platform::ErrorCaption(), platform::MessageIcon::Stop,
                                owner);
        return false;
    }
}
