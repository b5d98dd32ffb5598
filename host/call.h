// One call of the entry point: the per-instance context, the per-call frame
// every catalogue case works in, and the common exits.
#ifndef GH_CALL_H
#define GH_CALL_H

#include <stdint.h>

#include "cipher/blowfish.h"
#include "host/host_callback.h"
#include "host/memblock.h"

// One per host instance, from connect to disconnect, in the host's slot.
struct InstanceContext {
    uint32_t magic;         // 0x434F4F4C; nothing reads it
    BlowfishContext schedule;  // all zero until a key is set
    int16_t keySet;         // 1 once the schedule holds a key
};

enum { INSTANCE_MAGIC = 0x434F4F4C, WORKING_SLOTS = 6 };

// Everything one call message works with.
struct CallFrame {
    HostCallback cb;
    InstanceContext *context;
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

// A row of the catalogue as the dispatch sees it.
struct CatalogueEntry {
    int number;
    const char *name;
    CaseFunction run;  // null while the function is not built
};

// The entry for function number 1..38, or null for any other number.
const CatalogueEntry *FindCatalogueEntry(int number);

// The parameter number of the n-th parameter (1-based).
inline int ParamNumber(int n) { return HOST_PARAM_FIRST + n - 1; }

#endif
