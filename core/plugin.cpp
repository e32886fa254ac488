#include "core/plugin.h"

namespace hm {

PluginRecord& Plugin() {
    static PluginRecord record;
    return record;
}

}  // namespace hm
