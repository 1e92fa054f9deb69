// A Massa-K scale: the request byte 'E' is answered by the weight in grams as two binary
// bytes, low byte first. It has no price display.
#pragma once

#include "scales/iscale.h"
#include "scales/replyparsers.h"

class CMassa : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int) override {}

protected:
    // the request byte and the reply
    std::size_t ExchangeBytes() const override { return 1 + scales::kMassaReplySize; }
};
