// The bad inputs that every way into generation (the command line and the Make ADM command) must
// handle: each case lays out its files, says whether a new template must come of it, which path
// the message must name and what words may give the cause. A snapshot taken before the run then
// proves that nothing was lost.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace tarnwick::badinput {

enum class Expect { Refused, Created };
enum class Names { Source, Output };

// The two paths of one case.
struct Scene {
    std::string source;
    std::string output;
};

// What must last through the run once the scene is recorded (an output held open, a read-only
// file); dropping it closes and restores things, so the result can be read and removed.
using Guard = std::shared_ptr<void>;

struct BadInput {
    std::string name;  // a test name: letters and digits
    Expect expect = Expect::Refused;
    Names names = Names::Source;
    std::vector<std::string> causes;  // the message holds at least one of them, in any case
    std::function<Scene(const test::TempDir&)> lay;
    std::function<Guard(const Scene&)> arm = [](const Scene&) { return Guard(); };
    // Why the case cannot hold here (another system, root ignoring permissions); empty if it can.
    std::function<std::string()> unavailable = [] { return std::string(); };
};

const std::vector<BadInput>& AllBadInputs();
// Names a case in test output.
void PrintTo(const BadInput& input, std::ostream* out);

// Whether `text` holds `word`, ASCII letters compared in any case.
bool HoldsWord(const std::string& text, const std::string& word);
// Whether `text` holds at least one of `words`.
bool HoldsAnyOf(const std::string& text, const std::vector<std::string>& words);

// Checks (with gtest expectations) that a refusal's message names the case's path and a cause,
// and ends in a single full stop after the system's own description.
void ExpectClearRefusal(const std::string& message, const BadInput& input, const Scene& scene);

// What a path held before the run.
struct PathState {
    enum Kind { Missing, File, Folder } kind = Missing;
    std::string bytes;              // a file's content
    std::set<std::string> entries;  // a folder's entries
    friend bool operator==(const PathState&, const PathState&) = default;
};
PathState Capture(const std::string& path);

class Snapshot {
  public:
    explicit Snapshot(const Scene& scene);
    // Checks (with gtest expectations) that the source is unchanged, that the output holds
    // `created` bytes when given or else what it held before, and that its folder gained nothing
    // else: no temporary file.
    void ExpectNothingLost(const std::string* created) const;

  private:
    Scene scene_;
    PathState source_;
    PathState output_;
    std::string outputFolder_;
    PathState outputFolderState_;
};

// The exact new template for a scene's source, from the independent layout model, with drive C
// ticked in the following mode (the selection every bad-input run uses).
std::string ExpectedTemplate(const Scene& scene);

}  // namespace tarnwick::badinput
