// The sound of a label: a short confirmation when the spooler accepted it, a distinct one
// when it was refused, unless the counter's settings want silence. The platform's sound is
// plugged in at start-up; tests put a recorder in its place.
#pragma once

#include <functional>

enum class LabelSound { Accepted, Refused };

using LabelSoundSink = std::function<void(LabelSound)>;

// Replaces where label sounds go; returns the sink that was there (an empty sink: silence).
LabelSoundSink SetLabelSoundSink(LabelSoundSink sink);

// Sounds for a label when soundOn (the setting Sound); nothing reaches the sink otherwise.
void SignalLabel(bool soundOn, LabelSound sound);
