#include "mobile/messages/core/incoming.h"

#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/pdu_text.h"
#include "quorlink/link/phone_services.h"

#include <algorithm>
#include <cstring>

namespace messages {

namespace qc = quorlink::codecs;

void IncomingAssembly::line(std::string_view text)
{
    if (text.substr(0, std::strlen(kIncomingPrefix)) == kIncomingPrefix)
        return;
    pdu_ = std::string(text);
}

MessageRecord IncomingAssembly::Join(const Pending& p)
{
    std::string text;
    for (const auto& [sequence, part] : p.parts)
        text += part.text;
    const std::string& stamp = p.parts.empty() ? std::string() : p.parts.begin()->second.stamp;
    return MakeRecord(kStatusUnread, p.number, stamp, text, true);
}

std::vector<MessageRecord> IncomingAssembly::end()
{
    std::vector<MessageRecord> done;
    if (!pdu_)
        return done;
    SM_PARAM m{};
    const int length = CPDU::gsmDecodePdu(pdu_->c_str(), &m);
    pdu_.reset();
    const std::string number = qc::PhoneTextToAnsi(std::string_view(m.address, strnlen(m.address, sizeof m.address)));
    const std::string_view rawStamp(m.timeStamp, strnlen(m.timeStamp, sizeof m.timeStamp));
    const std::string stamp = quorlink::link::MessageTimeStamp(rawStamp).value_or(std::string());
    Part part{qc::DecodedText(m, length), stamp};

    const bool isPart = m.concatTotal > 1 && m.concatSequence >= 1 && m.concatSequence <= m.concatTotal;
    if (!isPart) {
        done.push_back(MakeRecord(kStatusUnread, number, part.stamp, part.text, true));
        return done;
    }
    const Key key{number, m.concatReference, m.concatTotal};
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const auto& p) { return p.first == key; });
    if (it == pending_.end()) {
        if (pending_.size() >= kMaxPending) {
            done.push_back(Join(pending_.front().second));
            pending_.pop_front();
        }
        pending_.emplace_back(key, Pending{number, {}, m.concatTotal});
        it = std::prev(pending_.end());
    }
    it->second.parts.emplace(m.concatSequence, std::move(part));  // a repeated part keeps the first copy
    if (it->second.parts.size() == it->second.total) {
        done.push_back(Join(it->second));
        pending_.erase(it);
    }
    return done;
}

std::vector<MessageRecord> IncomingAssembly::flush()
{
    std::vector<MessageRecord> done;
    for (const auto& [key, p] : pending_)
        done.push_back(Join(p));
    pending_.clear();
    return done;
}

}  // namespace messages
