#include "game/input_state.h"

namespace hm {

InputCaptureState& PluginInput() {
    static InputCaptureState& state = *new InputCaptureState;
    return state;
}

}  // namespace hm
