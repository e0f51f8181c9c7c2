#pragma once
// SMS PDU codec: SMS-SUBMIT encoding, and decoding of received, stored-unsent
// and stored-sent PDUs (hexadecimal text preceded by the service-centre
// address), with the concatenation header of long messages.
//
// Text on the PC side is in the PC code page (GBK); 7-bit text holds GSM
// codes as mixed phone text does (0x80 stands for '@').

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct SM_PARAM {
    char serviceCentre[16];  // digits, NUL-terminated; "+" in front when international
    unsigned char firstOctet;  // the TPDU's first octet as decoded
    char address[16];  // originating or destination number, NUL-terminated
    unsigned char protocolId;  // TP-PID
    unsigned char dataCoding;  // TP-DCS; bits 0x0C: 0 GSM 7-bit, 8 UCS2, 4 or 0x0C 8-bit
    char timeStamp[16];  // YYMMDDhhmmsszz, NUL-terminated (received messages)
    char userData[161];  // 160 bytes of text plus a terminator
    unsigned char index;  // message index in the phone's storage
    unsigned char status;  // 0 unread, 1 read, 2 stored unsent, 3 stored sent, 4 all
    unsigned short concatReference;  // 8-bit or 16-bit concatenation reference, 0 when none
    unsigned char concatTotal;  // number of parts
    unsigned char concatSequence;  // number of this part
};
#pragma pack(pop)
static_assert(sizeof(SM_PARAM) == 218);
static_assert(offsetof(SM_PARAM, firstOctet) == 16);
static_assert(offsetof(SM_PARAM, address) == 17);
static_assert(offsetof(SM_PARAM, protocolId) == 33);
static_assert(offsetof(SM_PARAM, dataCoding) == 34);
static_assert(offsetof(SM_PARAM, timeStamp) == 35);
static_assert(offsetof(SM_PARAM, userData) == 51);
static_assert(offsetof(SM_PARAM, index) == 212);
static_assert(offsetof(SM_PARAM, status) == 213);
static_assert(offsetof(SM_PARAM, concatReference) == 214);
static_assert(offsetof(SM_PARAM, concatTotal) == 216);
static_assert(offsetof(SM_PARAM, concatSequence) == 217);

class CPDU {
public:
    CPDU() = default;
    virtual ~CPDU() = default;

    // Hexadecimal text (either case) to bytes; returns length / 2. A
    // character that is not a hexadecimal digit counts as 0.
    static int gsmString2Bytes(const char* src, unsigned char* dst, int srcLength);
    // Bytes to upper-case hexadecimal text, NUL-terminated; returns 2 * n.
    static int gsmBytes2String(const unsigned char* src, char* dst, int srcLength);
    // Swaps each pair of digits; an odd count gets "F" before its last digit.
    // Returns the characters written (rounded up to even); NUL-terminated.
    static int gsmInvertNumbers(const char* src, char* dst, int srcLength);
    // Swaps pairs back and drops a final "F"; returns the digits written;
    // NUL-terminated.
    static int gsmSerializeNumbers(const char* src, char* dst, int srcLength);
    // Packs septets (low 7 bits of each byte) into octets; returns the octets
    // written. Pass the text length plus 1 so the terminator flushes the last
    // carry.
    static int gsmEncode7bit(const char* src, unsigned char* dst, int srcLength);
    // Unpacks octets into septets; NUL-terminated; returns the characters
    // written. A septet 0 ('@') is written as 0x80 so that it does not end
    // the text. dst holds srcLength * 8 / 7 + 1 bytes.
    static int gsmDecode7bit(const unsigned char* src, char* dst, int srcLength);
    static int gsmEncode8bit(const char* src, unsigned char* dst, int length);
    static int gsmDecode8bit(const unsigned char* src, char* dst, int length);
    // PC code page text to big-endian UCS2 octets, at most 128 characters;
    // returns the octets written.
    static int gsmEncodeUcs2(const char* src, unsigned char* dst, int srcLength);
    // Big-endian UCS2 octets to PC code page text, at most 160 bytes (a
    // character that would not fit whole is left out); NUL-terminated;
    // returns the bytes of text.
    static int gsmDecodeUcs2(const unsigned char* src, char* dst, int srcLength);
    // SMS-SUBMIT as hexadecimal text; returns its length in characters. dst
    // holds kMaxPduText bytes.
    static int gsmEncodePdu(const SM_PARAM* src, char* dst);
    // Decodes a PDU into dst (status selects the layout and must be set, the
    // rest zeroed, by the caller). Returns the length of the text
    // (characters for 7-bit, bytes otherwise). Every field stays bounded
    // whatever the PDU holds; a truncated PDU decodes as far as it goes.
    static int gsmDecodePdu(const char* src, SM_PARAM* dst);

    // Room gsmEncodePdu needs: service centre, header, address and 140 octets
    // of user data, as hexadecimal text, plus the NUL.
    static constexpr int kMaxPduText = 2 * (1 + 1 + 8 + 1 + 1 + 1 + 1 + 8 + 1 + 1 + 1 + 1 + 140) + 1;
};
