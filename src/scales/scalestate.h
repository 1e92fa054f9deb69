// What a scale said about its weight with its last exchange, for the operator's eyes: the
// weight itself keeps its own conventions (-1.0 no reading, 0.0 nothing to weigh).
#pragma once

enum class ScaleState {
    Unknown,    // no exchange yet
    Stable,     // a settled weight on the pan
    Moving,     // the weight has not settled (or the scale is busy)
    Zero,       // a settled empty pan
    Overload,   // more than the scale can weigh
    Underload,  // below its zero (a tare taken off)
    NoAnswer,   // the port is open and nothing came back
    PortClosed, // the port is not open (missing device, lost, or refused)
};

// The state of a settled weight: on the pan, nothing, or below zero.
inline ScaleState SettledState(double kg) {
    return kg > 0.0 ? ScaleState::Stable : kg < 0.0 ? ScaleState::Underload : ScaleState::Zero;
}
