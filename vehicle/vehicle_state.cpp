#include "vehicle/vehicle_state.h"

namespace hm {

VehicleFeatures& PluginVehicles() {
    static VehicleFeatures& features = *new VehicleFeatures;
    return features;
}

}  // namespace hm
