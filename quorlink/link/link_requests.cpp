#include "quorlink/link/link_requests.h"

#include "quorlink/bridge/bridge_link.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/listener_registry.h"
#include "quorlink/link/phone_services.h"
#include "platform/clock.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quorlink::link {
namespace {

// ------------------------------------------------- generic and 93 / 232

void GenericResponse(RequestContext& ctx, const std::optional<std::string_view>& line)
{
    if (!line) {
        ctx.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
        ctx.SetAcceptWhileBusy(false);
        ctx.FinishRequest();
        return;
    }
    if (const auto final = ClassifyFinal(*line)) {
        ctx.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED, 0, *line);
        ctx.FinishRequest();
    } else {
        ctx.PostText(LINK_INTERMEDIATE, 0, *line);
        ctx.RestartResponseTimer();
        // A generic request has no text to give after the phone's "> "
        // prompt; left open, the prompt would take every later command as
        // message text. Cancelling it makes the phone give its final line.
        if (*line == "> ")
            (void)ctx.Send("\x1b");
    }
}

// ------------------------------------------------------------ 202 / 203

bool SendRequestText(RequestContext& ctx, const LinkRequest& request)
{
    return ctx.Send(RequestText(request));
}

void FinalLineResponse(RequestContext& ctx, const std::optional<std::string_view>& line)
{
    const auto final = line ? ClassifyFinal(*line) : std::nullopt;
    if (!line) {
        ctx.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (!final) {
        return;  // not final; the time-out keeps running from the start
    } else {
        ctx.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED,
                     final->number < 0 && final->kind != FinalKind::CmeError ? 0 : final->number, *line);
    }
    ctx.FinishRequest();
}

void FileInfoResponse(RequestContext& ctx, const std::optional<std::string_view>& line)
{
    static const std::string_view kFileInfo = CommandName(REQ_RAW_FILEINFO).value_or("*FILEINFO");
    const auto final = line ? ClassifyFinal(*line) : std::nullopt;
    if (!line) {
        ctx.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (final) {
        ctx.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED,
                     final->number < 0 && final->kind != FinalKind::CmeError ? 0 : final->number, {});
    } else if (line->size() >= 4 && line->substr(0, 4) == kFileInfo.substr(0, 4)) {
        const size_t colon = line->find(':');
        ctx.PostText(LINK_INTERMEDIATE, 0,
                     colon == std::string_view::npos ? std::string_view{} : line->substr(colon + 1));
        return;
    } else {
        return;
    }
    ctx.FinishRequest();
}

constexpr ResponseHandlerRow ResponseHandlerTable[] = {
    {REQ_FINAL_LINE_TEXT, &SendRequestText, &FinalLineResponse},
    {REQ_FILEINFO_LINES, &SendRequestText, &FileInfoResponse},
    {REQ_TABLE_END, nullptr, nullptr},
};

// ----------------------------------------------------- small requests

Disposition RunAcceptOn(RequestContext& ctx, int32_t, LinkRequest&)
{
    ctx.SetAcceptWhileBusy(true);
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunAcceptOff(RequestContext& ctx, int32_t, LinkRequest&)
{
    ctx.SetAcceptWhileBusy(false);
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunRegisterListener(RequestContext& ctx, int32_t, LinkRequest& request)
{
    std::unique_ptr<void, decltype(&std::free)> block(plat::TakeBlock(request.argument), &std::free);
    if (block) {
        ListenerSpec listenerArgs;
        std::memcpy(&listenerArgs, block.get(), sizeof listenerArgs);
        const std::string_view prefix = RequestText(request);
        UnsolicitedListener l;
        l.guiThreadId = request.guiThreadId;
        l.window = request.window;
        l.messageCode = listenerArgs.messageCode;
        l.wantsNextLine = listenerArgs.wantsNextLine ? 1 : 0;
        // A prefix of 16 characters or more is not registered (and cannot
        // name an existing listener, whose prefixes are all shorter).
        if (prefix.size() <= ListenerRegistry::kMaxPrefix) {
            std::memcpy(l.prefix, prefix.data(), prefix.size());
            (void)ctx.Listeners().Register(l);
        }
    }
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunRemoveListener(RequestContext& ctx, int32_t, LinkRequest& request)
{
    ctx.Listeners().Remove(RequestText(request));
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunSilentTimeout(RequestContext&, int32_t, LinkRequest&)
{
    return Disposition::Pending;
}

constexpr RequestRow kRequestTable[] = {
    {REQ_DISCONNECT, &RunDisconnect},
    {REQ_LONG_COMMAND, &RunGeneric},
    {REQ_RECONNECT, &RunReconnect},
    {REQ_CHECK_VERSION, &RunCheckVersion},
    {REQ_STORAGE_COUNTS, &RunStorageCounts},
    {REQ_UPLOAD, &RunUpload},
    {REQ_DOWNLOAD, &RunDownload},
    {REQ_READ_SIM_PHONEBOOK, &RunReadPhonebook},
    {REQ_READ_MESSAGES, &RunReadMessages},
    {REQ_SEND_MESSAGE, &RunSendMessage},
    {REQ_PRIVACY_LOCK, &RunPrivacyLock},
    {REQ_ACCEPT_WHILE_BUSY_ON, &RunAcceptOn},
    {REQ_ACCEPT_WHILE_BUSY_OFF, &RunAcceptOff},
    {REQ_REGISTER_LISTENER, &RunRegisterListener},
    {REQ_REMOVE_LISTENER, &RunRemoveListener},
    {REQ_LIST_PORTS, &RunListPorts},
    {REQ_SCAN_AND_CONNECT, &RunScanAndConnect},
    {REQ_BRIDGE_OPEN, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_BOOT, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_SPEED, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_READ_INDEX, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_RESAMPLE, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_DECODE, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_ENCODE, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_WRITE_MP3, &bridge::RunBridgeRequest},
    {REQ_BRIDGE_WRITE_INDEX, &bridge::RunBridgeRequest},
    {REQ_SILENT_TIMEOUT, &RunSilentTimeout},
    {REQ_TABLE_END, nullptr},
};

}  // namespace

std::string_view RequestText(const LinkRequest& request)
{
    return std::string_view(request.text, strnlen(request.text, sizeof request.text - 1));
}

const RequestRow* FindRequestRow(int32_t code)
{
    for (const auto& row : kRequestTable) {
        if (row.code == REQ_TABLE_END)
            break;
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

const ResponseHandlerRow* FindResponseHandlerRow(int32_t code)
{
    for (const auto& row : ResponseHandlerTable) {
        if (row.code == REQ_TABLE_END)
            break;
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

Disposition RunGeneric(RequestContext& ctx, int32_t code, LinkRequest& request)
{
    const std::string_view text = RequestText(request);
    bool sent;
    if (const ResponseHandlerRow* row = FindResponseHandlerRow(code)) {
        sent = row->send(ctx, request);
    } else {
        if (text.size() > kLinkMaxCommandChars) {
            ctx.PostText(LINK_FAILED, LINK_ERR_TOO_LONG, {});
            return Disposition::Completed;
        }
        sent = ctx.Send(text);
    }
    if (!sent) {
        if (code == REQ_FINAL_LINE_TEXT)
            ctx.PostText(LINK_FAILED, LINK_ERR_SEND_202, text);
        else
            ctx.PostText(LINK_FAILED, LINK_ERR_SEND, {});
        return Disposition::Completed;
    }
    return Disposition::Pending;
}

RequestHandler HandlerFor(int32_t code)
{
    const RequestRow* row = FindRequestRow(code);
    return row ? row->run : &RunGeneric;
}

ResponseHandler ResponseHandlerFor(int32_t code)
{
    const ResponseHandlerRow* row = FindResponseHandlerRow(code);
    return row ? row->response : &GenericResponse;
}

}  // namespace quorlink::link
