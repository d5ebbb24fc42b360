#include "win32/WideText.h"

#include <windows.h>

#include "core/Text.h"

namespace tarnwick::win32 {

// wchar_t is UTF-16 on Windows; the toolkit's units are the same 16 bits.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::optional<std::wstring> Utf8ToWide(const std::string& utf8) {
    // A path or name with an invalid byte would name another file once replaced: refused.
    if (!IsUtf8(utf8)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return std::nullopt;
    }
    const std::u16string units = Utf16Of(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string WideToUtf8(const std::wstring& wide) {
    return Utf8Of(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace tarnwick::win32
