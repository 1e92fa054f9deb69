// A counter folder for the tests of the whole program: a SQLite demo catalogue, a settings
// file, the sample 58 x 40 mm layouts, and the application object loaded from them, as the
// program's start-up routine would.
#pragma once

#include "app/varnetapp.h"
#include "support/testdir.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform::odbc {
class Connection;
}

struct TestCounterOptions {
    QString printer;   // PrinterName
    int scalePort = 0; // RS232Port
    int scaleType = 0; // Type
    int products = 40; // demo products in the catalogue
    // Runs on the catalogue after it is filled, to shape the rows a test needs.
    std::function<void(platform::odbc::Connection&)> prepareCatalogue;
};

class TestCounter {
public:
    explicit TestCounter(const TestCounterOptions& options);

    TestModuleDir& Dir() { return m_dir; }
    CVarnetApp& App() { return *m_app; }

private:
    TestModuleDir m_dir;
    std::unique_ptr<CVarnetApp> m_app;
};
