// A scale speaking MT-SICS: "SI" CR LF asks for the current weight at once, the answer is a
// text line such as "S S      0.512 kg". Only a stable weight is posted. No price display.
#pragma once

#include "scales/iscale.h"

class CMtSics : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int) override {}

protected:
    // "SI" CR LF and an answer of about twenty characters.
    std::size_t ExchangeBytes() const override { return 4 + 24; }

private:
    // "I2" CR LF: the scale's type and capacity, in an exchange of its own.
    void ReadCapacity();
};
