// A psm file: loaded or refused; every loaded text ends inside its field.
#include "mobile/messages/core/message_store.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/fuzz_messages_psm_" + std::to_string(::getpid()) + ".psm";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    messages::MessageStore store;
    const auto r = store.loadPsm(path);
    for (const auto& m : store.items())
        if (messages::FieldText(m.record->text).size() >= sizeof m.record->text ||
            messages::FieldText(m.record->number).size() >= sizeof m.record->number)
            std::abort();
    if (r.result == messages::PsmLoad::Loaded && store.items().size() != static_cast<size_t>(r.added))
        std::abort();
    std::remove(path.c_str());
    return 0;
}
