// One call of the entry point: the per-call frame every catalogue binding
// works in, and the common exits.
#ifndef GH_CALL_H
#define GH_CALL_H

#include <stdint.h>

#include "host/host_callback.h"
#include "host/memblock.h"

// What the bindings keep per host instance between calls.  Its layout is
// theirs (functions/instance_state.h); the host layer only passes it on.
struct InstanceState;

enum { WORKING_SLOTS = 6 };

// Everything one call message works with.
struct CallFrame {
    HostCallback cb;
    InstanceState *instance;
    int16_t resultStatus;  // reported by the status exit
    int16_t paramCount;    // parameters passed, as a 16-bit value
    XPHandle slots[WORKING_SLOTS];  // MemBlocks freed by the clean-up
};

// How a case leaves.
enum CaseExit : int {
    EXIT_CLEANUP,     // the result is set (or none is): just free the slots
    EXIT_EMPTY_TEXT,  // the failure result of most functions: empty text
    EXIT_STATUS       // resultStatus as a number
};

// A catalogue function's binding.
typedef CaseExit (*CaseFunction)(CallFrame *frame);

// Keeps h in a free working slot and returns the slot, so that the clean-up
// frees it on every way out.  A null h gives null.  (No case holds more than
// six blocks; should one try, the block is freed and null returned, which
// the case treats as a failed allocation.)
XPHandle *KeepBlock(CallFrame *frame, XPHandle h);

// Unlocks and frees a slot's block now, and empties the slot.
void ReleaseBlock(XPHandle *slot);

// Sets the empty text on HOST_RESULT.
void SetEmptyTextResult(HostCallback cb);

// Leaves a call through one of the common exits: sets the exit's result (none
// for EXIT_CLEANUP), then unlocks and frees every working block.
void LeaveCall(CallFrame *frame, CaseExit exit);

// The parameter number of the n-th parameter (1-based).
inline int ParamNumber(int n) { return HOST_PARAM_FIRST + n - 1; }

#endif
