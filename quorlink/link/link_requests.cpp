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

constexpr std::string_view kCmeError = "+CME ERROR:";
constexpr std::string_view kCmsError = "+CMS ERROR:";
constexpr std::string_view kError = "ERROR";

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}
bool IsOk(std::string_view line)
{
    return StartsWithNoCase(line, "OK");
}

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
    if (IsOk(*line)) {
        link.PostText(LINK_SUCCEEDED, 0, *line);
        Finish(link);
    } else if (StartsWith(*line, kCmeError) || StartsWith(*line, kError) || StartsWith(*line, kCmsError)) {
        link.PostText(LINK_FAILED, 0, *line);
        Finish(link);
    } else {
        link.PostText(LINK_INTERMEDIATE, 0, *line);
        link.lastActivity = plat::GetTickCount();
    }
}

// ------------------------------------------------------------ 202 / 203

bool SendRequestText(PhoneLink& link, const LinkRequest& request)
{
    return link.Send(RequestText(request));
}

void FinalLineResponse(PhoneLink& link, const std::optional<std::string_view>& line)
{
    if (!line) {
        link.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (IsOk(*line)) {
        link.PostText(LINK_SUCCEEDED, 0, *line);
    } else if (StartsWith(*line, kCmeError)) {
        link.PostText(LINK_FAILED, CmeErrorNumber(*line), *line);
    } else if (StartsWith(*line, kError)) {
        link.PostText(LINK_FAILED, 0, *line);
    } else {
        return;  // not final; the time-out keeps running from the start
    }
    Finish(link);
}

void FileInfoResponse(PhoneLink& link, const std::optional<std::string_view>& line)
{
    static const std::string_view kFileInfo = CommandName(REQ_RAW_FILEINFO).value_or("*FILEINFO");
    if (!line) {
        link.PostText(LINK_FAILED, LINK_ERR_TIMEOUT, {});
    } else if (IsOk(*line)) {
        link.PostText(LINK_SUCCEEDED, 0, {});
    } else if (StartsWith(*line, kCmeError)) {
        link.PostText(LINK_FAILED, CmeErrorNumber(*line), {});
    } else if (line->size() >= 4 && line->substr(0, 4) == kFileInfo.substr(0, 4)) {
        const size_t colon = line->find(':');
        link.PostText(LINK_INTERMEDIATE, 0,
                      colon == std::string_view::npos ? std::string_view{} : line->substr(colon + 1));
        return;
    } else if (StartsWith(*line, kError)) {
        link.PostText(LINK_FAILED, 0, {});
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
    {REQ_DISCONNECT, &RunDisconnect, false},
    {REQ_LONG_COMMAND, &RunGeneric, false},
    {REQ_RECONNECT, &RunReconnect, false},
    {REQ_CHECK_VERSION, &RunCheckVersion, false},
    {REQ_STORAGE_COUNTS, &RunStorageCounts, false},
    {REQ_UPLOAD, &RunUpload, true},  // argument is the transfer block
    {REQ_DOWNLOAD, &RunDownload, true},
    {REQ_READ_SIM_PHONEBOOK, &RunReadPhonebook, false},
    {REQ_READ_MESSAGES, &RunReadMessages, false},
    {REQ_SEND_MESSAGE, &RunSendMessage, true},  // argument is the message block
    {REQ_PRIVACY_LOCK, &RunPrivacyLock, false},
    {REQ_ACCEPT_WHILE_BUSY_ON, &RunAcceptOn, false},
    {REQ_ACCEPT_WHILE_BUSY_OFF, &RunAcceptOff, false},
    {REQ_REGISTER_LISTENER, &RunRegisterListener, true},
    {REQ_REMOVE_LISTENER, &RunRemoveListener, false},
    {REQ_LIST_PORTS, &RunListPorts, false},
    {REQ_SCAN_AND_CONNECT, &RunScanAndConnect, false},
    {223, &RunBridgeMissing, false},
    {224, &RunBridgeMissing, false},
    {225, &RunBridgeMissing, false},
    {226, &RunBridgeMissing, false},
    {227, &RunBridgeMissing, false},
    {228, &RunBridgeMissing, false},
    {229, &RunBridgeMissing, false},
    {230, &RunBridgeMissing, false},
    {231, &RunBridgeMissing, false},
    {REQ_SILENT_TIMEOUT, &RunSilentTimeout, false},
    {REQ_TABLE_END, nullptr, false},
};
static_assert(REQ_BRIDGE_FIRST == 223 && REQ_BRIDGE_LAST == 231);

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
    std::unique_ptr<LinkRequest, decltype(&std::free)> request(raw, &std::free);
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

    const RequestRow* row = FindRequestRow(code);
    const Disposition d = row ? row->run(*this, code, *request) : RunGeneric(*this, code, *request);
    if (row && row->argumentIsBlock)
        std::free(plat::TakeBlock(request->argument));  // nothing if the handler took it
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
