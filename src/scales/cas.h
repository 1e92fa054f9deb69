// A CAS scale: an ENQ/ACK handshake, then DC1 asks for a 15-byte ASCII weight record with a
// BCC. It has no price display.
#pragma once

#include "scales/iscale.h"

class CCas : public IScale {
public:
    double GetWeight() override;
    void SetPrice(unsigned int) override {}
};
