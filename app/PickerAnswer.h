// Whether a folder picker gave back the folder that was meant. Some pickers (Wine's) cut a typed
// path at MAX_PATH - 1 characters and answer with the cut path, which may even name a folder that
// exists; such an answer must never be used.
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick::app {

// The longest path such a picker gives back whole: MAX_PATH less its terminating zero.
inline constexpr std::size_t kPickerPathLimit = 259;

// `answer`: the path the picker gave back; `typed`: what its name box held when Open was pressed
// (a path, quoted or not, or a name within `shownFolder`, the folder it showed). An answer shorter
// than the limit is whole; a longer one only when it is the path that was typed, in any letter
// case and with or without trailing separators (or when nothing was typed).
bool PickerAnswerIsWhole(const std::wstring& answer, const std::wstring& typed,
                         const std::wstring& shownFolder);

}  // namespace tarnwick::app
