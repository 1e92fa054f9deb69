#include "scales/scalefactory.h"

#include "scales/cas.h"
#include "scales/massa.h"
#include "scales/oka.h"

std::unique_ptr<IScale> CreateScale(int nType, unsigned int nPort) {
    std::unique_ptr<IScale> scale;
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
    default:
        return nullptr;
    }
    scale->m_nByteSize = 8;
    scale->m_nFlowControl = 0;
    scale->m_nPortNumber = static_cast<std::uint8_t>(nPort & 0xFFu);
    return scale;
}
