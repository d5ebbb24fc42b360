#include "app/PickerAnswer.h"

#include <cwctype>

namespace tarnwick::app {
namespace {

// Without its trailing separators, in lower case: for telling whether two paths are one.
std::wstring Comparable(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    for (wchar_t& c : path)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return path;
}

bool IsAbsolute(const std::wstring& path) {
    return path.starts_with(L"\\\\") ||
           (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'));
}

}  // namespace

bool PickerAnswerIsWhole(const std::wstring& answer, const std::wstring& typed,
                         const std::wstring& shownFolder) {
    if (answer.size() < kPickerPathLimit) return true;
    std::wstring meant = typed;
    if (meant.size() >= 2 && meant.front() == L'"' && meant.back() == L'"')
        meant = meant.substr(1, meant.size() - 2);
    // Nothing typed: the answer is what was chosen in the view, which the picker names whole.
    if (meant.empty()) return true;
    if (!IsAbsolute(meant)) meant = shownFolder + L"\\" + meant;
    return Comparable(meant) == Comparable(answer);
}

}  // namespace tarnwick::app
