#pragma once

#include "detection/knock_features.h"

namespace thwack {

// The trained model behind the microphone detector: boosted trees over an onset's features
// (weights in knock_model_weights.h, made by bench/real/train_model.py). The score is the log
// odds that the onset is a knock, as trained; 0 is even odds.
class KnockModel final {
public:
    static double score(const KnockFeatures& features);
};

} // namespace thwack
