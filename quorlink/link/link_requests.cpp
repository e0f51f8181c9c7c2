#include "quorlink/link/link_requests.h"

#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/phone_services.h"
#include "quorlink/link/phone_link.h"
#include "platform/clock.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quorlink::link {
namespace {

// Ends the pending request after its final record.
void Finish(PhoneLink& link)
{
    link.ClearPending();
}

// ------------------------------------------------- generic and 93 / 232

void GenericResponse(PhoneLink& link, const std::optional<std::string_view>& line)
{
    if (!line) {
        link.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
        link.acceptWhileBusy = false;
        Finish(link);
        return;
    }
    if (const auto final = ClassifyFinal(*line)) {
        link.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED, 0, *line);
        Finish(link);
    } else {
        link.PostText(LINK_INTERMEDIATE, 0, *line);
        link.lastActivity = plat::GetTickCount();
        // A generic request has no text to give after the phone's "> "
        // prompt; left open, the prompt would take every later command as
        // message text. Cancelling it makes the phone give its final line.
        if (*line == "> ")
            (void)link.Send("\x1b");
    }
}

// ------------------------------------------------------------ 202 / 203

bool SendRequestText(PhoneLink& link, const LinkRequest& request)
{
    return link.Send(RequestText(request));
}

void FinalLineResponse(PhoneLink& link, const std::optional<std::string_view>& line)
{
    const auto final = line ? ClassifyFinal(*line) : std::nullopt;
    if (!line) {
        link.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (!final) {
        return;  // not final; the time-out keeps running from the start
    } else {
        link.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED,
                      final->number < 0 && final->kind != FinalKind::CmeError ? 0 : final->number, *line);
    }
    Finish(link);
}

void FileInfoResponse(PhoneLink& link, const std::optional<std::string_view>& line)
{
    static const std::string_view kFileInfo = CommandName(REQ_RAW_FILEINFO).value_or("*FILEINFO");
    const auto final = line ? ClassifyFinal(*line) : std::nullopt;
    if (!line) {
        link.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (final) {
        link.PostText(final->ok() ? LINK_SUCCEEDED : LINK_FAILED,
                      final->number < 0 && final->kind != FinalKind::CmeError ? 0 : final->number, {});
    } else if (line->size() >= 4 && line->substr(0, 4) == kFileInfo.substr(0, 4)) {
        const size_t colon = line->find(':');
        link.PostText(LINK_INTERMEDIATE, 0,
                      colon == std::string_view::npos ? std::string_view{} : line->substr(colon + 1));
        return;
    } else {
        return;
    }
    Finish(link);
}

constexpr ResponseHandlerRow ResponseHandlerTable[] = {
    {REQ_FINAL_LINE_TEXT, &SendRequestText, &FinalLineResponse},
    {REQ_FILEINFO_LINES, &SendRequestText, &FileInfoResponse},
    {REQ_TABLE_END, nullptr, nullptr},
};

// ----------------------------------------------------- small requests

Disposition RunAcceptOn(PhoneLink& link, int32_t, LinkRequest&)
{
    link.acceptWhileBusy = true;
    link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunAcceptOff(PhoneLink& link, int32_t, LinkRequest&)
{
    link.acceptWhileBusy = false;
    link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunRegisterListener(PhoneLink& link, int32_t, LinkRequest& request)
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
        if (prefix.size() <= PhoneLink::kMaxListenerPrefix) {
            std::memcpy(l.prefix, prefix.data(), prefix.size());
            (void)link.RegisterListener(l);
        }
    }
    link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunRemoveListener(PhoneLink& link, int32_t, LinkRequest& request)
{
    link.RemoveListener(RequestText(request));
    link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunSilentTimeout(PhoneLink&, int32_t, LinkRequest&)
{
    return Disposition::Pending;
}

Disposition RunBridgeMissing(PhoneLink& link, int32_t, LinkRequest&)
{
    // The flash bridge is not part of this build: refuse plainly.
    link.PostText(LINK_FAILED, 0, {});
    return Disposition::Completed;
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
    {REQ_BRIDGE_OPEN, &RunBridgeMissing},
    {REQ_BRIDGE_BOOT, &RunBridgeMissing},
    {REQ_BRIDGE_SPEED, &RunBridgeMissing},
    {REQ_BRIDGE_READ_INDEX, &RunBridgeMissing},
    {REQ_BRIDGE_RESAMPLE, &RunBridgeMissing},
    {REQ_BRIDGE_DECODE, &RunBridgeMissing},
    {REQ_BRIDGE_ENCODE, &RunBridgeMissing},
    {REQ_BRIDGE_WRITE_MP3, &RunBridgeMissing},
    {REQ_BRIDGE_WRITE_INDEX, &RunBridgeMissing},
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

Disposition RunGeneric(PhoneLink& link, int32_t code, LinkRequest& request)
{
    const std::string_view text = RequestText(request);
    bool sent;
    if (const ResponseHandlerRow* row = FindResponseHandlerRow(code)) {
        sent = row->send(link, request);
    } else {
        if (text.size() > kLinkMaxCommandChars) {
            link.PostText(LINK_FAILED, LINK_ERR_TOO_LONG, {});
            return Disposition::Completed;
        }
        sent = link.Send(text);
    }
    if (!sent) {
        if (code == REQ_FINAL_LINE_TEXT)
            link.PostText(LINK_FAILED, LINK_ERR_SEND_202, text);
        else
            link.PostText(LINK_FAILED, LINK_ERR_SEND, {});
        return Disposition::Completed;
    }
    return Disposition::Pending;
}

void PhoneLink::Dispatch(int32_t code, LinkRequest* raw)
{
    // The record and the block it owns are freed when the request has run.
    const auto free = [code](LinkRequest* r) { FreeLinkRequest(code, r); };
    std::unique_ptr<LinkRequest, decltype(free)> request(raw, free);
    // A request still pending is replaced; it gets no record.
    ClearPending();
    if (!request)
        return;
    resultTarget = {request->guiThreadId, request->window};
    requestPending = true;
    currentRequest = code;
    replyCode = code;
    responseTimeoutMs = code == REQ_LONG_COMMAND ? kLongResponseTimeoutMs : kResponseTimeoutMs;
    lastActivity = plat::GetTickCount();
    requestStart = lastActivity;
    lastProgress = lastActivity;

    const RequestRow* row = FindRequestRow(code);
    inDispatch = true;
    const Disposition d = row ? row->run(*this, code, *request) : RunGeneric(*this, code, *request);
    inDispatch = false;
    if (d == Disposition::Completed)
        ClearPending();
}

void PhoneLink::RouteToPending(const std::optional<std::string_view>& line)
{
    if (!requestPending)
        return;
    replyCode = currentRequest;
    const ResponseHandlerRow* row = FindResponseHandlerRow(currentRequest);
    (row ? row->response : &GenericResponse)(*this, line);
}

}  // namespace quorlink::link
