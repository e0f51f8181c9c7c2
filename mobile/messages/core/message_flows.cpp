#include "mobile/messages/core/message_flows.h"

#include "mobile/messages/core/handset_files.h"
#include "mobile/messages/core/incoming.h"
#include "mobile/messages/core/sim_file.h"
#include "mobile/shell/core/requests.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu_text.h"
#include "quorlink/link/phone_services.h"
#include "resources/strings.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace messages {
namespace {

namespace qc = quorlink::codecs;
namespace ql = quorlink::link;

// The send block's text field.
constexpr size_t kBlockText = sizeof(MessageBlock::text);

shell::BatchStep Download(const std::string& phonePath, const std::string& localPath)
{
    const uint32_t block = NewTransferBlock(phonePath, localPath);
    return shell::BatchStep::Request(REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, block));
}

}  // namespace

shell::BatchPlan ReadPlan(MessageStore& store, const std::string& dir)
{
    store.removeAll();
    shell::BatchPlan plan;
    plan.titleId = res::IDS_READING_MESSAGES;
    plan.steps.push_back(
        shell::BatchStep::Request(REQ_READ_MESSAGES, shell::NewRequest(plat::CurrentThreadId(), dir + kSimFileName)));
    plan.steps.push_back(Download(std::string(kPhoneSmsDir) + kConcatFileName, dir + kConcatFileName));
    for (size_t i = 0; i < kTableFiles; ++i)
        plan.steps.push_back(Download(kPhoneSmsDir + TableFileName(i), dir + TableFileName(i)));
    plan.steps.push_back(shell::BatchStep::Callback([dir](shell::TransferBatch& batch) {
        const auto scan = ScanTables(dir);
        if (!scan)
            return false;
        if (scan->itemFiles.empty())
            return true;
        std::vector<shell::BatchStep> downloads;
        for (const unsigned n : scan->itemFiles)
            downloads.push_back(Download(kPhoneSmsDir + ItemFileName(n), dir + ItemFileName(n)));
        batch.setBatch(std::move(downloads));
        batch.setStepCount(static_cast<int>(scan->itemFiles.size()));
        return true;
    }));
    plan.stepCount = static_cast<int>(plan.steps.size()) - 1;
    return plan;
}

int FinishRead(MessageStore& store, const std::string& dir, int batchResult)
{
    if (batchResult != shell::kBatchOk || store.load(dir) != LoadError::None) {
        store.removeAll();
        return res::IDS_MESSAGES_READ_FAILED;
    }
    return 0;
}

std::vector<std::string> SendParts(std::u16string_view text)
{
    const qc::MessageSize size = qc::MeasureMessage(text);
    if (size.parts == 0)
        return {};
    if (size.parts == 1) {
        std::string pc = qc::Ucs2ToAnsi(text);
        if (pc.size() <= kBlockText)
            return {pc};
    }
    // Parts by septets or characters, each also within the block's bytes (a
    // GSM letter such as a Greek capital takes two bytes of the PC code page).
    std::vector<std::string> parts(1);
    int used = 0;
    for (const char16_t c : text) {
        const int units = size.gsm ? qc::GsmSeptets(c) : 1;
        char bytes[2];
        const int width = qc::Ucs2ToAnsiChar(c, bytes);
        if (used + units > (size.gsm ? qc::kPartSeptets : qc::kPartUcs2) ||
            parts.back().size() + static_cast<size_t>(width) > kBlockText) {
            parts.emplace_back();
            used = 0;
        }
        parts.back().append(bytes, static_cast<size_t>(width));
        used += units;
    }
    if (parts.size() > static_cast<size_t>(qc::kMaxParts))
        return {};
    return parts;
}

shell::BatchPlan SendPlan(std::string_view number, const std::vector<std::string>& parts, uint16_t reference)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_SENDING_MESSAGE;
    for (size_t i = 0; i < parts.size(); ++i) {
        const uint32_t block = NewMessageBlock(number, parts[i]);
        if (block == 0)
            return {};  // a number or part that does not fit is never cut
        const std::string partText = parts.size() > 1
            ? ql::MessagePartText({reference, static_cast<uint8_t>(parts.size()), static_cast<uint8_t>(i + 1)})
            : std::string();
        plan.steps.push_back(
            shell::BatchStep::Request(REQ_SEND_MESSAGE, shell::NewRequest(plat::CurrentThreadId(), partText, block)));
    }
    plan.stepCount = static_cast<int>(parts.size());
    return plan;
}

uint16_t NextReference()
{
    // 8-bit references keep the header short; start from the clock so that
    // two runs of the program do not send the same sequence.
    static uint16_t last = static_cast<uint16_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() %
        255);
    last = static_cast<uint16_t>(last % 255 + 1);
    return last;
}

bool ValidRecipient(std::string_view number)
{
    return !number.empty() && number.size() <= 20 && number.find_first_not_of("0123456789+wp#*") == std::string::npos;
}

shell::BatchPlan RefreshPlan(MessageStore& store)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_READING_MESSAGE_MEMORY;
    plan.steps.push_back(shell::BatchStep::Request(REQ_STORAGE_COUNTS, shell::NewRequest(plat::CurrentThreadId())));
    plan.effects.onStorageCount = [&store](int32_t used) { store.counts().simUsed = used; };
    return plan;
}

uint32_t ListenerSpecBlock()
{
    return NewListenerBlock(kIncomingCode, true);
}

}  // namespace messages
