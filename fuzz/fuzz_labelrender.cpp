// libFuzzer target: a layout file from anywhere, drawn with a label's values. Damaged
// positions, sizes, angles and fonts must draw something or nothing, never crash.
#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/layoutfile.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

namespace {
// Both live until the process ends: Qt cannot be torn down from the exit handlers that
// libFuzzer finishes in, so they are never destroyed (and stay reachable for the leak check).
QGuiApplication* g_app = nullptr;
CVarnetApp* g_varnet = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = new QGuiApplication(*argc, *argv);
    g_varnet = new CVarnetApp;
    g_varnet->m_settings.Penny = true;
    g_varnet->m_settings.EICurrency = QStringLiteral("руб");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CBarCodeLabelInfo layout;
    if (!labels::ParseLayout(bytes, layout))
        return 0;
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Колбаса & сыр\r\nвысший сорт");
    d.strInfo = QStringLiteral("Доп. инфо");
    d.bPrintUnits = 1;
    d.dPrice = 412.5;
    d.dQuantity = 0.512;
    d.dSum = 211.2;
    d.stExpiry.wYear = 2026;
    d.stExpiry.wMonth = 12;
    d.stExpiry.wDay = 20;
    layout.SetValues(d);
    CBarCodeLabel label(platform::PageFromSize(58, 40, 203, 203));
    if (!label.Draw(layout))
        std::abort();
    return 0;
}
