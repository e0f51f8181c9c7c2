#include "quorlink/link/link_protocol.h"

#include <cstdlib>
#include <cstring>

namespace {

// Copies text into a field; room is the most it may hold (the field's size
// less its NUL, or the whole field where the record ends it otherwise).
template <size_t N>
bool Fill(char (&field)[N], std::string_view text, size_t room = N - 1)
{
    if (text.size() > room || text.find('\0') != std::string_view::npos)
        return false;
    if (!text.empty())
        std::memcpy(field, text.data(), text.size());
    if (text.size() < N)
        field[text.size()] = '\0';
    return true;
}

template <typename Block>
uint32_t Park(Block* block)
{
    const uint32_t handle = plat::PutBlock(block);
    if (handle == 0)
        std::free(block);
    return handle;
}

}  // namespace

void FreeLinkRequest(int32_t code, LinkRequest* request)
{
    if (!request)
        return;
    if (RequestOwnsBlock(code) && request->argument != 0)
        std::free(plat::TakeBlock(request->argument));
    std::free(request);
}

uint32_t NewTransferBlock(std::string_view first, std::string_view second)
{
    auto* block = static_cast<TransferBlock*>(std::calloc(1, sizeof(TransferBlock)));
    if (!block)
        return 0;
    if (!Fill(block->first, first) || !Fill(block->second, second)) {
        std::free(block);
        return 0;
    }
    return Park(block);
}

uint32_t NewMessageBlock(std::string_view destination, std::string_view text)
{
    auto* block = static_cast<MessageBlock*>(std::calloc(1, sizeof(MessageBlock)));
    if (!block)
        return 0;
    // The text may fill its field: the trailer byte after it is its end.
    if (!Fill(block->destination, destination) || !Fill(block->text, text, sizeof block->text)) {
        std::free(block);
        return 0;
    }
    block->trailer = 0;  // the text's terminator slot
    return Park(block);
}

uint32_t NewListenerBlock(uint32_t messageCode, bool wantsNextLine)
{
    auto* block = static_cast<ListenerSpec*>(std::calloc(1, sizeof(ListenerSpec)));
    if (!block)
        return 0;
    *block = ListenerSpec{messageCode, wantsNextLine ? 1u : 0u};
    return Park(block);
}

uint32_t NewPathBlock(std::string_view path)
{
    if (path.size() > kPathBlockMax || path.find('\0') != std::string_view::npos)
        return 0;
    auto* block = static_cast<char*>(std::calloc(1, path.size() + 1));
    if (!block)
        return 0;
    if (!path.empty())
        std::memcpy(block, path.data(), path.size());
    return Park(block);
}

uint32_t NewSlotBlock(int32_t k)
{
    auto* block = static_cast<int32_t*>(std::calloc(1, sizeof(int32_t)));
    if (!block)
        return 0;
    *block = k;
    return Park(block);
}
