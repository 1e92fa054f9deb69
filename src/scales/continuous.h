// An indicator with continuous output: it sends a line such as "ST,GS,+0000.512kg" several
// times a second without being asked. Each exchange takes the next line as it arrives;
// nothing is sent.
#pragma once

#include "scales/iscale.h"

class CContinuous : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int) override {}
    bool TalksByItself() const override { return true; }

protected:
    // Nothing is sent; the tail of a cut line and one whole line of about twenty
    // characters come in.
    std::size_t ExchangeBytes() const override { return 2 * 20; }
};
