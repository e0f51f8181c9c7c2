#pragma once
// Character-set conversions between the phone's mixed text (GSM 03.38 codes
// with GBK double-byte characters), UCS2, the PC code page (GBK, code page
// 936, whatever the host locale) and UTF-8. Stateless; callers own every
// buffer.
//
// Mixed phone text: a NUL-terminated byte string; a byte 0x01..0x80 is one
// GSM code (0x80 is this program's code for '@', since GSM's 0x00 would end
// the string); a byte 0x81..0xFE followed by a trail byte 0x40..0x7E or
// 0x80..0xFE is one GBK character.

#include <cstdint>
#include <string>

class CUcs2 {
public:
    virtual ~CUcs2() = default;

    // GSM code 0x00..0x80 to UCS2; codes above 0x80 give 0xFFFF.
    static unsigned short Gsm0338ToUcs2(unsigned char gsm);
    // UCS2 to GSM code; "?" (0x3F) for a character without one.
    static unsigned char Ucs2ToGsm0338(unsigned short ucs2);
    // 1 if the character has a GSM code, else 0.
    static unsigned char IsGsm0338(unsigned short ucs2);
    // GBK code (lead byte high) to UCS2; 0xFFFF outside the table's ranges.
    static unsigned short Gb2Unicode(unsigned short gbk);
    // UCS2 to GBK code; 0xFFFF when absent.
    static unsigned short Unicode2GB(unsigned short ucs2);

    // Mixed phone text to NUL-terminated UCS2. out must hold strlen(in) + 1
    // values.
    static void GB2UcsString(const unsigned char* in, unsigned short* out);
    // NUL-terminated UCS2 to mixed phone text. out must hold 2 bytes per value
    // plus 1.
    static void Ucs2GBString(const unsigned short* in, unsigned char* out);
    // Mixed phone text to UCS2 as lower-case hexadecimal text, four digits
    // per value, as many whole values as fit in limit digits; then a NUL (out
    // holds limit + 1 bytes).
    static void AscGB2UcsString(char* in, char* out, int limit);
    // UCS2 as hexadecimal text (either case; in is upper-cased in place) to
    // mixed phone text: at most limit groups of four digits; a group that is
    // not four hexadecimal digits ends the text. out holds 2 * groups + 1.
    static void AscUcs2GBString(char* in, char* out, int limit);

    // In place: 0x80 -> '@', 0x11 -> '_', 0x02 -> '$'.
    static void Gsm0338ToAsc(char* buffer);
    // In place: '@' -> 0x80, '_' -> 0x11, '$' -> 0x02.
    static void AscToGsm0338(char* buffer);
    // UTF-8 to the PC code page; a new NUL-terminated string from malloc that
    // the caller frees with free(); nullptr only when in is nullptr or memory
    // runs out.
    static char* Utf8ToAsc(const char* in);

protected:
    CUcs2() = default;
};

class CChineseCodeLib {
public:
    CChineseCodeLib() = default;
    CChineseCodeLib(const CChineseCodeLib&) = default;
    CChineseCodeLib& operator=(const CChineseCodeLib&) = default;
    virtual ~CChineseCodeLib() = default;

    // Decodes one UTF-8 sequence (1 to 3 bytes; stops at a NUL). Returns the
    // bytes taken; a malformed sequence takes one byte and gives U+FFFD.
    static int UTF_8ToUnicode(unsigned short* out, const char* in);
    // Encodes one UCS2 value as shortest UTF-8 (1 to 3 bytes, not
    // terminated); returns the bytes written.
    static int UnicodeToUTF_8(char* out, const unsigned short* in);
    // One PC code page character (two bytes for a GBK character, one for
    // ASCII) to UCS2; an invalid pair gives '?'. Returns the bytes taken.
    static int Gb2312ToUnicode(unsigned short* out, const char* in);
    // One character to the PC code page, 1 or 2 bytes, not terminated ('?'
    // when it has no GBK code). Returns the bytes written.
    static int UnicodeToGB2312(char* out, unsigned short in);
    // length bytes of PC code page text to UTF-8; replaces out.
    static void GB2312ToUTF_8(std::string& out, const char* in, int length);
    // length bytes of UTF-8 to PC code page text, up to its first NUL;
    // replaces out.
    static void UTF_8ToGB2312(std::string& out, const char* in, int length);
};

extern "C" {
// Writes each byte of in followed by a zero byte (little-endian UTF-16 of
// ASCII text), then two zero bytes; returns the number of characters.
int FormUnicodeString(const char* in, char* out);
unsigned short ReverseShort(unsigned short v);
std::uint32_t ReverseLong(std::uint32_t v);
}
