// The common exits every call leaves through, and the working slots that
// hold its memory blocks until then.
#include "host/call.h"
#include "host/memblock.h"
#include "host/wrappers.h"

XPHandle *KeepBlock(CallFrame *frame, XPHandle h) {
    if (!h) return nullptr;
    for (XPHandle &slot : frame->slots) {
        if (!slot) {
            slot = h;
            return &slot;
        }
    }
    DisposeXPHandle(h);
    return nullptr;
}

void ReleaseBlock(XPHandle *slot) {
    if (!slot || !*slot) return;
    UnlockXPHandle(*slot);
    DisposeXPHandle(*slot);
    *slot = nullptr;
}

void SetEmptyTextResult(HostCallback cb) {
    qchar empty[1] = {0};
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT, empty, cb);
}

void LeaveCall(CallFrame *frame, CaseExit exit) {
    if (exit == EXIT_EMPTY_TEXT) {
        SetEmptyTextResult(frame->cb);
    } else if (exit == EXIT_STATUS) {
        double status = frame->resultStatus;
        SetFldVal(HOST_RESULT, HOST_TYPE_NUMBER, &status, frame->cb);
    }
    for (XPHandle &slot : frame->slots) ReleaseBlock(&slot);
}
