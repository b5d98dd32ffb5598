// One per host instance, from connect to disconnect, in the host's slot.
#ifndef GH_INSTANCE_H
#define GH_INSTANCE_H

#include <stdint.h>

#include "functions/instance_state.h"

struct InstanceContext {
    uint32_t magic;       // 0x434F4F4C; nothing reads it
    InstanceState state;  // the bindings' own, passed to them in the call frame
};

enum { INSTANCE_MAGIC = 0x434F4F4C };

#endif
