#include "quorlink/link/file_transfer.h"

#include "quorlink/codecs/base64.h"
#include "quorlink/link/link_tables.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace quorlink::link {
namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;
using BlockPtr = std::unique_ptr<TransferBlock, decltype(&std::free)>;

std::string BoundedString(const char (&field)[256])
{
    return std::string(field, strnlen(field, sizeof field));
}

BlockPtr TakeTransferBlock(const LinkRequest& request)
{
    return BlockPtr(static_cast<TransferBlock*>(plat::TakeBlock(request.argument)), &std::free);
}

// A decimal number from the front of text (after spaces); 0 when none.
long LeadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long n = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        n = std::min<long>(n * 10 + (text[i] - '0'), INT32_MAX);  // records carry 32-bit counts
    }
    return any ? n : 0;
}

// The end command and its final response, whose outcome is not checked.
void EndTransfer(RequestContext& ctx)
{
    if (ctx.SendShortCommand(kRespEnd))
        (void)ctx.WaitFinal();
}

// The failure record; text is the phone's refusal line when one ended the
// transfer, so that the user learns what the phone said.
void Fail(RequestContext& ctx, int32_t code, std::string_view text = {})
{
    ctx.PostText(LINK_FAILED, code, text);
}

std::string StartDownloadCommand(const std::string& phoneName, long size)
{
    return "AT*STARTDL=" + phoneName + "," + std::to_string(size) + "\r";
}

}  // namespace

std::string PutCommand(int index, std::span<const uint8_t> block)
{
    std::string command;
    command.reserve(2 * block.size() + 100);
    command += "AT*PUT=";
    command += std::to_string(index);
    command += ',';
    command += std::to_string(block.size());
    command += ',';
    command += codecs::Base64Encode(block);
    command += ',';
    command += codecs::BlockCheckBase64(block);
    command += '\r';
    return command;
}

std::optional<GetReply> ParseGetReply(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(colon + 1);
    size_t i = 0;
    while (i < rest.size() && rest[i] == ' ')
        ++i;
    if (i == rest.size() || rest[i] < '0' || rest[i] > '9')
        return std::nullopt;
    GetReply reply{LeadingNumber(rest), {}};
    const size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
        std::string_view data = rest.substr(comma + 1);
        reply.data = data.substr(0, data.find(','));
    }
    return reply;
}

long StartUploadSize(std::string_view line)
{
    return StartUploadSizeIfAny(line).value_or(0);
}

std::optional<long> StartUploadSizeIfAny(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = line.substr(colon + 1);
    const size_t digit = rest.find_first_not_of(' ');
    if (digit == std::string_view::npos || rest[digit] < '0' || rest[digit] > '9')
        return std::nullopt;
    return LeadingNumber(rest);
}

// ------------------------------------------------------- PC to phone

Disposition RunUpload(RequestContext& ctx, int32_t, LinkRequest& request)
{
    const BlockPtr block = TakeTransferBlock(request);
    if (!block) {
        Fail(ctx, LINK_ERR_LOCAL_FILE);
        return Disposition::Completed;
    }
    const std::string pcPath = BoundedString(block->first);
    const std::string phoneName = BoundedString(block->second);

    FilePtr file(std::fopen(pcPath.c_str(), "rb"), &std::fclose);
    struct stat st { };
    if (!file || ::fstat(::fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail(ctx, LINK_ERR_LOCAL_FILE);
        return Disposition::Completed;
    }
    const long size = static_cast<long>(st.st_size);

    const std::string start = StartDownloadCommand(phoneName, size);
    if (!ctx.Send(start)) {
        file.reset();
        Fail(ctx, LINK_ERR_SEND);
        return Disposition::Completed;
    }
    for (int retries = 0;;) {
        const auto c = ctx.WaitLine();
        if (c && c->isOk())
            break;
        if (c && !c->final)
            continue;  // not a final line: skipped
        // An error, or no line.
        const std::string refusal = c ? std::string(c->line) : std::string();
        if (c && c->final->kind == FinalKind::CmeError && c->final->number == 1 && retries < kStartDownloadRetries) {
            ++retries;
            EndTransfer(ctx);
            if (!ctx.Send(start)) {
                file.reset();
                Fail(ctx, LINK_ERR_SEND);
                return Disposition::Completed;
            }
            continue;
        }
        file.reset();
        Fail(ctx, LINK_ERR_SEND, refusal);
        return Disposition::Completed;
    }

    const long blocks = (size + static_cast<long>(kPutBlockBytes) - 1) / static_cast<long>(kPutBlockBytes);
    uint8_t data[kPutBlockBytes];
    for (long i = 0; i < blocks; ++i) {
        const long offset = i * static_cast<long>(kPutBlockBytes);
        const size_t want = static_cast<size_t>(std::min<long>(kPutBlockBytes, size - offset));
        // A file that shrank or cannot be read any more is a local failure,
        // not a block of stale bytes.
        if (std::fseek(file.get(), offset, SEEK_SET) != 0 || std::fread(data, 1, want, file.get()) != want) {
            EndTransfer(ctx);
            file.reset();
            Fail(ctx, LINK_ERR_LOCAL_FILE);
            return Disposition::Completed;
        }
        if (!ctx.Send(PutCommand(static_cast<int>(i), std::span(data, want)))) {
            file.reset();
            EndTransfer(ctx);
            Fail(ctx, LINK_ERR_SEND);
            return Disposition::Completed;
        }
        bool acknowledged = false;
        std::string refusal;
        for (;;) {
            const auto c = ctx.WaitLine();
            if (c && c->isError())
                refusal = c->line;
            if (!c || c->isError())
                break;
            if (c->isOk()) {
                acknowledged = true;
                break;
            }
        }
        if (!acknowledged) {
            EndTransfer(ctx);
            file.reset();
            Fail(ctx, LINK_ERR_SEND, refusal);
            return Disposition::Completed;
        }
        ctx.PostProgress(LINK_INTERMEDIATE, 0, static_cast<int32_t>(std::min(offset + static_cast<long>(want), size)),
                         static_cast<int32_t>(size));
    }
    file.reset();
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    EndTransfer(ctx);
    return Disposition::Completed;
}

// ------------------------------------------------------- phone to PC

Disposition RunDownload(RequestContext& ctx, int32_t, LinkRequest& request)
{
    const BlockPtr block = TakeTransferBlock(request);
    if (!block) {
        Fail(ctx, LINK_ERR_LOCAL_FILE);
        return Disposition::Completed;
    }
    const std::string phoneName = BoundedString(block->first);
    const std::string pcPath = BoundedString(block->second);

    FilePtr file(std::fopen(pcPath.c_str(), "wb"), &std::fclose);
    if (!file) {
        Fail(ctx, LINK_ERR_LOCAL_FILE);
        return Disposition::Completed;
    }
    if (!ctx.Send("AT*STARTUL=" + phoneName + "\r")) {
        Fail(ctx, LINK_ERR_SEND);
        return Disposition::Completed;
    }
    std::optional<long> announced;  // the size the "*STARTUL" line gave, if it gave one
    for (;;) {
        const auto c = ctx.WaitLine();
        if (!c) {
            Fail(ctx, LINK_ERR_SEND);
            return Disposition::Completed;
        }
        if (c->code == kRespStartUl) {
            announced = StartUploadSizeIfAny(c->line);
            ctx.MarkProgress();
        } else if (c->isOk()) {
            break;
        } else if (c->isError()) {
            const int n = c->final->kind == FinalKind::CmeError ? c->final->number : -1;
            const std::string refusal(c->line);
            if (n == 1) {
                EndTransfer(ctx);
                Fail(ctx, LINK_ERR_SEND, refusal);
            } else if (n == 2) {
                ctx.PostText(LINK_SUCCEEDED, 0, {});  // nothing to copy: the PC file stays empty
            } else {
                Fail(ctx, LINK_ERR_SEND, refusal);
            }
            return Disposition::Completed;
        }
    }
    const long size = announced.value_or(0);

    long received = 0;
    int emptyExchanges = 0;
    std::vector<uint8_t> bytes;
    const auto brokeOff = [&](std::string_view why) {
        EndTransfer(ctx);
        Fail(ctx, LINK_ERR_SEND, why);
        return Disposition::Completed;
    };
    for (bool endSeen = false; !endSeen;) {
        if (!ctx.SendShortCommand(kRespGet)) {
            Fail(ctx, LINK_ERR_SEND);
            return Disposition::Completed;
        }
        long exchange = 0;
        bool getLine = false;
        for (;;) {
            const auto c = ctx.WaitLine();
            if (!c) {
                Fail(ctx, LINK_ERR_SEND);
                return Disposition::Completed;
            }
            if (c->isOk())
                break;
            if (c->isError())
                return brokeOff(std::string(c->line));
            if (c->code != kRespGet)
                continue;
            const auto reply = ParseGetReply(c->line);
            if (!reply)
                continue;
            getLine = true;
            if (reply->count == 0) {
                endSeen = true;
                continue;
            }
            bytes.resize(codecs::Base64DecodedMax(reply->data.size()));
            const size_t n = codecs::Base64Decode(reply->data, bytes);
            // A write that fails loses data: the transfer stops rather
            // than report a file it did not write.
            if (n > 0 && std::fwrite(bytes.data(), 1, n, file.get()) != n) {
                EndTransfer(ctx);
                Fail(ctx, LINK_ERR_LOCAL_FILE);
                return Disposition::Completed;
            }
            if (n > 0)
                ctx.MarkProgress();
            exchange += static_cast<long>(n);
        }
        // An answer without any block would be asked for again and again.
        if (!getLine)
            return brokeOff("the phone answered *GET without a block");
        // Blocks that bring nothing (undecodable data) do not move the
        // transfer on; a few in a row end it.
        emptyExchanges = exchange == 0 && !endSeen ? emptyExchanges + 1 : 0;
        if (emptyExchanges >= kMaxEmptyExchanges)
            return brokeOff("the phone's blocks carry no data");
        received += exchange;
        ctx.PostProgress(LINK_INTERMEDIATE, 0, static_cast<int32_t>(received), static_cast<int32_t>(size));
    }
    // What the phone announced is what must have arrived: a block lost to
    // bad data, a short block or an early end would leave a damaged file.
    if (announced && received != *announced)
        return brokeOff("the phone sent " + std::to_string(received) + " of " + std::to_string(*announced) + " bytes");
    const bool flushed = std::fflush(file.get()) == 0;
    const bool closed = std::fclose(file.release()) == 0;
    EndTransfer(ctx);
    if (flushed && closed)
        ctx.PostText(LINK_SUCCEEDED, 0, {});
    else
        Fail(ctx, LINK_ERR_LOCAL_FILE);
    return Disposition::Completed;
}

}  // namespace quorlink::link
