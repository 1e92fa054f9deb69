#include "workstation/labelsound.h"

#include <utility>

namespace {
LabelSoundSink& Sink() {
    static LabelSoundSink sink;
    return sink;
}
} // namespace

LabelSoundSink SetLabelSoundSink(LabelSoundSink sink) {
    return std::exchange(Sink(), std::move(sink));
}

void SignalLabel(bool soundOn, LabelSound sound) {
    if (soundOn && Sink())
        Sink()(sound);
}
