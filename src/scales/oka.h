// An OKA scale: fixed-length binary messages; an 18-byte request is answered by the weight
// as six decimal digits in grams, and a 24-byte message shows a price on its display.
#pragma once

#include "scales/iscale.h"
#include "scales/replyparsers.h"

#include <array>

class COka : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int nPrice) override;

    // The price message for nPrice. The display has six digits; a larger price shows as
    // 999999, which the operator sees as out of range, rather than as six wrong digits.
    static std::array<std::uint8_t, 24> PriceMessage(unsigned int nPrice);

protected:
    // request and reply
    std::size_t ExchangeBytes() const override { return 2 * scales::kOkaMessageSize; }
};
