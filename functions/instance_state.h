// What the bindings keep per host instance, from connect to disconnect: the
// Blowfish key of blowfishContext, used by the encrypting functions.
#ifndef GH_INSTANCE_STATE_H
#define GH_INSTANCE_STATE_H

#include <stdint.h>

#include "cipher/blowfish.h"

struct InstanceState {
    BlowfishContext schedule;  // all zero until a key is set
    int16_t keySet;         // 1 once the schedule holds a key
};

#endif
