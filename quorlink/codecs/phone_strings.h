#pragma once
// The phone's string and number encodings: file-name-safe encoding of UCS2
// names, packed dialling strings, pinyin collation of mixed phone text, and
// the program directory. Stateless.

#include <string>

extern "C" {

// Encodes count UCS2 values (host order) as a phone file name. Allocates
// floor(8 * count / 3) + 2 bytes with malloc, writes the NUL-terminated name
// and hands the buffer to the caller (who frees it with free()) through
// *out. Returns true; false only when memory runs out (*out is then null).
bool strCF_CnvUcs2ToPosix(const unsigned short* ucs2, unsigned char count, char** out);

// In place: treats each byte (at most the first 49) as one UCS2 value and
// replaces the text with its encoded name. The buffer must hold
// ceil(8 * length / 3) + 1 bytes.
void StringToPosix(char* buffer);

// In place: decodes an encoded name to PC code page text. Returns the
// number of bytes of text written; 0 (text unchanged) when the length is
// not 0, 3 or 6 modulo 8 or a character is outside the alphabet.
int PosixToString(char* buffer);

// Packs a dialling string: byte 0 the count n, then pairs of characters one
// per byte (first in the high nibble), the last character as itself when n
// is odd, then 0. "#", "*", "+", "p", "w" in s are replaced in place by
// ">", "=", "<", ":", ";" (their nibbles 0xE, 0xD, 0xC, 0xA, 0xB). out
// holds n / 2 + 3 bytes.
void dir6_1ascii2bcd(char* s, unsigned char* out);

// Unpacks a dialling string into s (in[0] + 1 bytes); returns 0.
int dir6_2bcd2ascii(const unsigned char* in, char* s);

// Pinyin collation of two mixed phone texts: -1, 0 or 1.
int PINYINCodeStrcmp(const char* a, const char* b);
// The same over at most n bytes.
int PINYINCodeStrncmp(const char* a, const char* b, int n);

}  // extern "C"

// The program directory with its trailing separator (see
// platform/program_dir.h).
void GetModulePath(std::string& path);
