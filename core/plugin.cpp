#include "core/plugin.h"

namespace hm {

PluginRecord& Plugin() {
    static PluginRecord& record = *new PluginRecord;
    return record;
}

}  // namespace hm

#include "core/shared_state.h"

namespace hm {

SharedState& PluginShared() {
    static SharedState& state = *new SharedState;
    return state;
}

}  // namespace hm
