// The entry point: connect, call and disconnect, and the dispatch of a call
// to its catalogue binding.
#include <string.h>

#include "host/call.h"
#include "host/memblock.h"
#include "host/wrappers.h"
#include "library/dispatch.h"
#include "library/instance.h"
#include "platform/platform.h"

namespace {

void disconnect(void **instanceSlot) {
    if (!instanceSlot || !*instanceSlot) return;
    auto *context = static_cast<InstanceContext *>(*instanceSlot);
    // The schedule is key material: wipe it before the memory goes back.
    volatile unsigned char *p = reinterpret_cast<volatile unsigned char *>(context);
    for (size_t i = 0; i < sizeof(InstanceContext); ++i) p[i] = 0;
    DisposeXPPointer(context);
    *instanceSlot = nullptr;
}

void connect(void **instanceSlot) {
    auto *context = static_cast<InstanceContext *>(NewXPPointer(sizeof(InstanceContext)));
    if (!context || !instanceSlot) {
        DisposeXPPointer(context);
        gh_beep(1500, 2);  // the slot is left as it was
        return;
    }
    context->magic = INSTANCE_MAGIC;
    context->state.keySet = 0;
    // A second connect replaces the context: the old one is freed, not lost.
    disconnect(instanceSlot);
    *instanceSlot = context;
}

void call(void **instanceSlot, HostCallback cb) {
    CallFrame frame;
    memset(&frame, 0, sizeof frame);
    frame.cb = cb;
    if (!instanceSlot || !*instanceSlot) {
        frame.resultStatus = 2;  // no context: neither number nor count is asked
        LeaveCall(&frame, EXIT_STATUS);
        return;
    }
    frame.instance = &static_cast<InstanceContext *>(*instanceSlot)->state;
    int32_t function = GetPackageId(cb);
    frame.paramCount = static_cast<int16_t>(GetFuncParmInt2(HOST_PARAM_COUNT, cb));
    const CatalogueEntry *entry = find_catalogue_entry(static_cast<int16_t>(function));
    // A number outside the catalogue, or a function not built, sets no result.
    CaseExit exit = entry && entry->run ? entry->run(&frame) : EXIT_CLEANUP;
    LeaveCall(&frame, exit);
}

}  // namespace

extern "C" GH_EXPORT GH_ENTRY_ALIGN void GH_ENTRY_CALL glyphHerder(int32_t message,
                                                                   void **instanceSlot,
                                                                   intptr_t, intptr_t, intptr_t,
                                                                   HostCallback callback) {
    switch (static_cast<int16_t>(message)) {
    case GH_MSG_CONNECT:
        connect(instanceSlot);
        break;
    case GH_MSG_CALL:
        if (callback) call(instanceSlot, callback);
        break;
    case GH_MSG_DISCONNECT:
        disconnect(instanceSlot);
        break;
    default:
        break;  // unknown messages are ignored
    }
}
