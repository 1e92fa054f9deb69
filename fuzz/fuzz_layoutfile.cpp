// libFuzzer target: the layout file reader. Any input either fails cleanly or gives a
// layout that writes and reads back to the same bytes.
#include "labels/layoutfile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CBarCodeLabelInfo layout;
    if (!labels::ParseLayout(bytes, layout))
        return 0;
    const QByteArray written = labels::SerializeLayout(layout);
    CBarCodeLabelInfo again;
    if (!labels::ParseLayout(written, again) || labels::SerializeLayout(again) != written)
        std::abort();
    return 0;
}
