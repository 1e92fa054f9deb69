#include "scales/scalefactory.h"

#include "scales/cas.h"
#include "scales/continuous.h"
#include "scales/massa.h"
#include "scales/mtsics.h"
#include "scales/oka.h"

std::unique_ptr<IScale> CreateScale(int nType, unsigned int nPort, const ScaleLine& line) {
    std::unique_ptr<IScale> scale;
    bool settable = false;
    switch (nType) {
    case kScaleOka:
        scale = std::make_unique<COka>();
        scale->m_nBaudRate = 4800;
        scale->m_nParity = 2;
        scale->m_nStopBits = 2;
        break;
    case kScaleMassa:
        scale = std::make_unique<CMassa>();
        scale->m_nBaudRate = 4800;
        scale->m_nParity = 2;
        scale->m_nStopBits = 0;
        break;
    case kScaleCas:
        scale = std::make_unique<CCas>();
        scale->m_nBaudRate = 9600;
        scale->m_nParity = 0;
        scale->m_nStopBits = 0;
        break;
    case kScaleMtSics:
    case kScaleContinuous:
        if (nType == kScaleMtSics)
            scale = std::make_unique<CMtSics>();
        else
            scale = std::make_unique<CContinuous>();
        scale->m_nBaudRate = 9600;
        scale->m_nParity = 0;
        scale->m_nStopBits = 0;
        settable = true;
        break;
    default:
        return nullptr;
    }
    scale->m_nByteSize = 8;
    scale->m_nFlowControl = 0;
    if (settable) {
        // Values the port cannot take are passed on as they are: the open then fails with
        // the port's own message, which tells the installer where to look.
        if (line.nBaudRate > 0)
            scale->m_nBaudRate = line.nBaudRate;
        if (line.nParity >= 0)
            scale->m_nParity = static_cast<std::uint8_t>(line.nParity);
        if (line.nByteSize > 0)
            scale->m_nByteSize = static_cast<std::uint8_t>(line.nByteSize);
        if (line.nStopBits >= 0)
            scale->m_nStopBits = static_cast<std::uint8_t>(line.nStopBits);
    }
    scale->m_nPortNumber = static_cast<std::uint8_t>(nPort & 0xFFu);
    return scale;
}
