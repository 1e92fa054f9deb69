// Code that must never run: planted by an operator where a program might load it. Loaded, it
// leaves a line in the canary file, which the package test looks for.
#pragma once

#define VARNET_CANARY_FILE "/tmp/varnet-canary"

#include <cstdlib>

// A test of its own may point the mark elsewhere (VARNET_CANARY in its environment).
inline const char* CanaryFile() {
    const char* own = std::getenv("VARNET_CANARY");
    return own && *own ? own : VARNET_CANARY_FILE;
}
