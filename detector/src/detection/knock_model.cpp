#include "detection/knock_model.h"

#include "detection/knock_model_weights.h"

namespace thwack {

double KnockModel::score(const KnockFeatures& features) {
    double sum = knock_model_weights::bias;
    for (const auto& tree : knock_model_weights::trees) {
        std::size_t node = 0;
        for (int level = 0; level < knock_model_weights::depth; ++level) {
            // The trees were grown on single-precision features.
            const auto value = static_cast<double>(static_cast<float>(features.values[tree.feature[node]]));
            node = 2 * node + (value <= tree.threshold[node] ? 1 : 2);
        }
        sum += tree.leaf[node - tree.threshold.size()];
    }
    return sum;
}

} // namespace thwack
