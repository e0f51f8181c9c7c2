#pragma once
// The three encoder runs that turn an MP3 file into the phone's form
// before it is written into a flash slot: resample to 8 kHz, decode to a
// WAV file, encode again as mono MP3 at 32 kbit/s. The encoder is the
// `lame` program ($TELVANE_LAME, else `lame` on PATH), started without a
// terminal and waited for with a limit.
//
// Files, all in the program directory D: "resample.mp3", "decoded.wav",
// "encoded.mp3" (the file written to flash).
//
// Thread affinity: any one thread (the phone-link worker).

#include <cstdint>
#include <string>
#include <vector>

namespace quorlink::media {

enum class Mp3Run { Resample, Decode, Encode };

// Results of a run.
inline constexpr int kRunOk = 0;
inline constexpr int kRunTimeout = 258;  // did not end in time, or could not be started
inline constexpr int kRunFailed = -1;  // the encoder failed, or left no output

struct Mp3RunCommand {
    std::vector<std::string> args;  // the encoder's arguments
    std::string output;  // the file the run makes
    int64_t limitMs = 0;
};

// The arguments of a run: input is the source MP3 (resample, decode);
// the encode run reads D + "decoded.wav". dir ends with '/'.
[[nodiscard]] Mp3RunCommand Mp3Command(Mp3Run run, const std::string& input, const std::string& dir);

// The encoder program: $TELVANE_LAME when set, else "lame".
[[nodiscard]] std::string EncoderProgram();

// Runs the encoder: the run's output is removed first, so a failed run can
// never leave an earlier run's file behind. kRunOk only when the encoder
// ended within its limit with status 0 and its output exists; an encoder
// still running at the limit is ended.
[[nodiscard]] int RunEncoder(Mp3Run run, const std::string& input, const std::string& dir);

}  // namespace quorlink::media
