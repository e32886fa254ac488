#include "base/plugin.h"

namespace hm {

PluginRecord& Plugin() {
    static PluginRecord& record = *new PluginRecord;
    return record;
}

}  // namespace hm

#include "base/shared_state.h"

namespace hm {

SharedState& PluginShared() {
    static SharedState& state = *new SharedState;
    return state;
}

}  // namespace hm
