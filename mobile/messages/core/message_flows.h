#pragma once
// The messages' phone work as batches, for both front ends: the page runs
// a plan with PageHost::runBatch, `telvane messages` / `send` with its
// session.
//
//   read:     ReadPlan -> run -> FinishRead
//   send:     SendParts -> SendPlan -> run (one request for each part)
//   memory:   RefreshPlan -> run (the SIM's count), then Usage (message_store.h)
//   incoming: ListenerSpecBlock with request 210, then IncomingAssembly
//
// Thread affinity: the thread that owns the store; callback steps run
// there too, between two requests.

#include "mobile/messages/core/message_store.h"
#include "mobile/shell/core/batch_runner.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace messages {

// Empties the store's list and returns the batch that reads the SIM's
// messages into sms.sim, downloads smsconcattab and the five table files
// into dir (the program directory, with its trailing separator), and then
// the item files the tables name.
[[nodiscard]] shell::BatchPlan ReadPlan(MessageStore& store, const std::string& dir);
// After the read batch: loads the working copies into the store. 0 on
// success, else the id of the message to show.
[[nodiscard]] int FinishRead(MessageStore& store, const std::string& dir, int batchResult);

// The parts a text (UCS2) is sent in, each in the PC code page and within
// the send block's 160 bytes: one message when it fits one, else up to
// 10 parts of at most 153 GSM septets or 67 UCS2 characters. Empty for an
// empty text or one that needs more than 10 parts.
[[nodiscard]] std::vector<std::string> SendParts(std::u16string_view text);
// A batch of one send request (207) for each part; several parts carry the
// concatenation reference (the same for every part of one message). An
// empty plan (no steps) when the number does not fit the send block.
[[nodiscard]] shell::BatchPlan SendPlan(std::string_view number, const std::vector<std::string>& parts,
                                        uint16_t reference);
// A reference for the next long message: different from the last one.
[[nodiscard]] uint16_t NextReference();

// Whether a recipient holds only the characters a dial string may hold
// ("0123456789+wp#*") and at most 20 of them.
[[nodiscard]] bool ValidRecipient(std::string_view number);

// The refresh of the memory report: request 99 reads the SIM's message
// count into the store.
[[nodiscard]] shell::BatchPlan RefreshPlan(MessageStore& store);

// The argument block of request 210 for the "+CMT:" listener (text
// kIncomingPrefix): notification code 215, the line after "+CMT:" joined
// to its indication. A plat::PutBlock handle.
[[nodiscard]] uint32_t ListenerSpecBlock();

}  // namespace messages
