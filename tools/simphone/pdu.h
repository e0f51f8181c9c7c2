// The handset's side of PDU mode: it builds SMS-DELIVER PDUs for messages it
// hands to the PC ("+CMT:", "+CMGL:") and reads the SMS-SUBMIT PDUs the PC
// gives it (AT+CMGS, AT+CMGW). Hex text is written upper case.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simphone {

struct SmsTime {
    int year = 2004, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int zoneQuarters = 32;  // +8 h
};

struct Concat {
    uint8_t reference = 0;
    uint8_t total = 0;  // 0: not concatenated
    uint8_t sequence = 0;
};

// A message as the handset holds it, decoded.
struct SmsMessage {
    bool submit = false;  // SMS-SUBMIT (stored or sent by the user) vs SMS-DELIVER
    std::string smsc;  // "+8613800100500" or digits
    std::string address;  // originator (deliver) or destination (submit)
    SmsTime time;  // deliver only
    uint8_t pid = 0;
    uint8_t dcs = 0;
    std::u16string text;
    Concat concat;
};

// True when every character is in the GSM default alphabet (7-bit coding).
[[nodiscard]] bool FitsGsm7(std::u16string_view text);

// Message text as the handset files it: GSM codes, the extension table's
// characters behind the escape 0x1B, GBK for Chinese ("?" for characters
// none of them holds).
[[nodiscard]] std::string MessageTextToMixed(std::u16string_view text);

// Splits text into the parts of one message: a single part when it fits
// (160 GSM septets / 70 UCS2 characters), else parts of 153 septets (an
// extension character never split from its escape) / 67 characters carrying
// reference ref. Texts over 255 parts are cut.
[[nodiscard]] std::vector<SmsMessage> SplitForDelivery(const SmsMessage& whole, uint8_t ref);

// Encodes msg (deliver or submit) as PDU bytes with its service-centre part
// first. tpduLength receives the octet count after the service-centre part.
// Returns nullopt when a number holds characters other than digits and a
// leading "+", or the user data is too long for one PDU.
[[nodiscard]] std::optional<std::vector<uint8_t>> EncodePdu(const SmsMessage& msg, size_t* tpduLength);

// Decodes PDU bytes (service-centre part first) of an SMS-DELIVER or
// SMS-SUBMIT. Returns nullopt for anything malformed or truncated.
[[nodiscard]] std::optional<SmsMessage> DecodePdu(std::span<const uint8_t> pdu);

}  // namespace simphone
