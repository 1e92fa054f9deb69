// The Windows font and date-time records that label layouts carry field by field: layout
// files written on Windows counters store them, so their fields and order stay as they are.
#pragma once

#include <QString>

#include <cstdint>

struct LOGFONTW {
    int32_t lfHeight = 0; // < 0: character height, > 0: cell height, in screen pixels
    int32_t lfWidth = 0;  // average character width; 0: natural width
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    QString lfFaceName; // at most LF_FACESIZE - 1 characters

    static constexpr int LF_FACESIZE = 32;
    bool operator==(const LOGFONTW& o) const;
    bool operator!=(const LOGFONTW& o) const { return !(*this == o); }
};

struct SYSTEMTIME {
    uint16_t wYear = 0; // 0: no date
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    bool operator==(const SYSTEMTIME& o) const;
    bool operator!=(const SYSTEMTIME& o) const { return !(*this == o); }
};
