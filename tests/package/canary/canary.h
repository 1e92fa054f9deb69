// Code that must never run: planted by an operator where a program might load it. Loaded, it
// leaves a line in the canary file, which the package test looks for.
#pragma once

#define VARNET_CANARY_FILE "/tmp/varnet-canary"
