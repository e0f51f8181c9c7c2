// The SIM message file the link writes: messages or nothing, never more
// than the header counts; each loads into a store.
#include "mobile/messages/core/message_store.h"
#include "mobile/messages/core/sim_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto sim = messages::ParseSimFile({reinterpret_cast<const char*>(data), size});
    if (!sim)
        return 0;
    if (sim->messages.size() > static_cast<size_t>(sim->used))
        std::abort();
    messages::MessageStore store;
    for (const auto& m : sim->messages)
        (void)store.add(messages::MakeRecord(m.status, m.number, m.date, m.text, false), m.index,
                        messages::kOrderByDate);
    return 0;
}
