#include "core/plugin.h"

namespace hm {

PluginRecord& Plugin() {
    static PluginRecord record;
    return record;
}

}  // namespace hm

#include "core/shared_state.h"

namespace hm {

SharedState& PluginShared() {
    static SharedState state;
    return state;
}

}  // namespace hm
