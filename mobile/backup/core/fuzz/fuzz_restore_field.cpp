// The restore page's path field of arbitrary text: a form, a file and its
// arguments, never a crash; a save path is either refused (empty) or a
// directory and a name; a break directory ends with "/".
#include "mobile/backup/core/notice.h"
#include "mobile/backup/core/service_forms.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool fileExists = data[0] & 1;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto f = backup::ParseRestoreField(text, [&](const std::string&) { return fileExists; });
    if (f.file.size() > text.size() || f.argument.size() > text.size())
        std::abort();
    if (f.form == backup::RestoreField::Form::Break && !f.target.empty() &&
        (f.target.back() != '/' || f.target[0] != '/'))
        std::abort();
    if (f.form == backup::RestoreField::Form::Save) {
        const std::string phone = backup::SavePhonePath(f.phonePath, f.encodeName);
        if (!phone.empty() && phone.find('/') == std::string::npos)
            std::abort();
    }
    if (backup::UnpackedName(text).find('/') != std::string::npos)
        std::abort();
    const std::string args[] = {std::string(text), f.file};
    (void)backup::FormatText(text, args);
    return 0;
}
