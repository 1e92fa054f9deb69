// A CAS scale: an ENQ/ACK handshake, then DC1 asks for a 15-byte ASCII weight record with a
// BCC. It has no price display.
#pragma once

#include "scales/iscale.h"
#include "scales/replyparsers.h"

class CCas : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int) override {}

protected:
    // ENQ, ACK, DC1 and the record
    std::size_t ExchangeBytes() const override { return 1 + 1 + 1 + scales::kCasRecordSize; }
};
