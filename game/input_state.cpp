#include "game/input_state.h"

namespace hm {

InputCaptureState& PluginInput() {
    static InputCaptureState state;
    return state;
}

}  // namespace hm
