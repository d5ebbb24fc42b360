// A stand-in for the main window: plain values for the controls, scripted answers for message
// boxes, and a record of every box and beep in the order they came. Any read can be made to fail.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "command/MakeCommand.h"

namespace tarnwick::test {

struct Shown {
    std::string text;  // "<beep>" for a beep
    int style = 0;
    std::string title;
    friend bool operator==(const Shown&, const Shown&) = default;
};

inline const Shown kBeep{"<beep>", -1, ""};

class RecordingView : public FormView {
  public:
    std::array<std::int16_t, kDriveCount> values{};
    bool following = true;
    std::string sourceText;
    std::string newText;
    std::deque<int> answers;  // for Yes/No prompts, in order; an empty queue throws
    std::set<int> failingDrives;
    std::set<int> failingNewTextReads;  // 1-based numbers of NewText() calls that fail
    mutable int sourceReads = 0;
    mutable int newTextReads = 0;
    std::vector<Shown> shown;

    void Tick(std::initializer_list<char> letters) {
        for (char letter : letters)
            values[static_cast<std::size_t>(letter - 'A')] = 1;
    }

    std::int16_t DriveValue(int index) const override {
        if (failingDrives.count(index)) throw std::runtime_error("box cannot be read");
        return values.at(static_cast<std::size_t>(index));
    }
    std::string DriveCaption(int index) const override {
        return std::string(1, static_cast<char>('A' + index)) + ":";
    }
    bool FollowingMode() const override { return following; }
    std::string SourceText() const override {
        ++sourceReads;
        return sourceText;
    }
    std::string NewText() const override {
        if (failingNewTextReads.count(++newTextReads))
            throw std::runtime_error("box cannot be read");
        return newText;
    }
    int MsgBox(const std::string& text, int style, const std::string& title) override {
        shown.push_back({text, style, title});
        if (style != kMbYesNo) return 1;
        if (answers.empty()) throw std::runtime_error("no answer scripted");
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Beep() override { shown.push_back(kBeep); }
};

}  // namespace tarnwick::test
