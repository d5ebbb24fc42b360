// The "Make ADM" command. A failing statement is skipped, as the command always did: a failed test
// runs the action behind it (its message), and a failed read leaves the variable as it was. Unlike
// before, success is what the generator reports, never just "something exists at the new path".
#include "command/MakeCommand.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "command/Messages.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/GenerateADM.h"
#include "paths/PathText.h"

namespace tarnwick {
namespace {

// Runs one statement; false when it failed with an error a statement can raise: an index out of
// range, an overflow or a failed read (std::runtime_error), or memory run out. Any other exception
// is a bug in the program and is not hidden.
template <class Statement>
bool Ran(Statement&& statement) {
    try {
        std::forward<Statement>(statement)();
        return true;
    } catch (const std::runtime_error&) {
    } catch (const std::out_of_range&) {
    } catch (const std::length_error&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

// Runs one statement; a statement that fails is skipped.
template <class Statement>
void Attempt(Statement&& statement) {
    (void)Ran(std::forward<Statement>(statement));
}

// A branch test that fails counts as true: the action behind it runs.
template <class Test>
bool TestOrTrue(Test&& test) {
    bool result = true;
    Attempt([&] { result = std::forward<Test>(test)(); });
    return result;
}

int CountTickedDrives(const FormView& view) {
    int total = 0;
    for (int i = 0; i < kDriveCount; ++i) {
        // Only the value 1 ticks a box; counting the same way as the mask keeps the two agreeing.
        Attempt([&] { total += view.DriveValue(i) == kTicked ? 1 : 0; });
    }
    return total;
}

// Two texts naming one file would let the generator replace the source with its own copy.
bool NamesTheSource(const FormState& state) {
    return state.strNewADM == state.strSourceADM ||
           fileio::SameFile(state.strNewADM, state.strSourceADM);
}

// Asks before replacing whatever is at the new path; true when the command may go on. A Yes is
// consent to replace the file that is there at that moment, and no other.
bool MayWriteNewPath(FormView& view, const FormState& state, ReplaceConsent& consent) {
    if (!TestOrTrue([&] { return fileio::FileExists(state.strNewADM); })) return true;
    int answer = 0;
    Attempt([&] {
        answer = view.MsgBox(msg::OverwritePrompt(state.strNewADM), kMbYesNo, msg::kAppTitle);
    });
    // Only an explicit Yes replaces a file; a box that failed to show is no consent.
    if (answer != kIdYes) return false;
    Attempt([&] { consent.file = fileio::FileIdentity(state.strNewADM); });
    return true;
}

GenerateResult Generate(const FormView& view, FormState& state, const ReplaceConsent& consent) {
    std::optional<GenerateResult> result;
    if (!Ran([&] { result = GenerateADM(view, state, consent); })) {
        // No message of its own: it is reported as the unspecified error.
        return GenerateFailure{};
    }
    return *result;
}

void ReportFailure(FormView& view, const FormState& state, const GenerateFailure& failure) {
    if (failure.fault == GenerateFault::SourceOpenFailed) {
        Attempt([&] {
            view.MsgBox(msg::ErrorOpening(state.strSourceADM, failure.systemText), kMbCritical, "");
        });
        // The outcome test follows the generator's own report, as it always has: nothing at the
        // new path is the unspecified error. A file that was there before stays, and no success
        // is claimed for it.
        if (!TestOrTrue([&] { return fileio::FileExists(state.strNewADM); })) {
            view.MsgBox(msg::kUnspecifiedError, kMbOk, "");
        }
    } else if (!failure.message.empty()) {
        view.MsgBox(failure.message, kMbCritical, msg::kAppTitle);
    } else {
        view.MsgBox(msg::kUnspecifiedError, kMbOk, "");
    }
}

void ReportOutcome(FormView& view, const FormState& state, const GenerateResult& result) {
    if (!result) {
        Attempt([&] { ReportFailure(view, state, result.failure()); });
        return;
    }
    // Reported complete, yet gone already (removed by someone else): no success, and no reason.
    if (!TestOrTrue([&] { return fileio::FileExists(state.strNewADM); })) {
        Attempt([&] { view.MsgBox(msg::kUnspecifiedError, kMbOk, ""); });
        return;
    }
    Attempt([&] { view.Beep(); });
    Attempt([&] { view.MsgBox(msg::CreatedSuccessfully(state.strNewADM), kMbOk, msg::kAppTitle); });
}

// Shows one message; the click stops after it whether or not the box could be shown.
void Say(FormView& view, const std::string& text, int style, const std::string& title) {
    Attempt([&] { view.MsgBox(text, style, title); });
}

}  // namespace

void Command1_Click(FormView& view, FormState& state) {
    if (TestOrTrue([&] { return view.NewText() == msg::kAcknowledgementTrigger; })) {
        return Say(view, msg::kAcknowledgement, kMbOk, "");
    }

    if (CountTickedDrives(view) == 0)
        return Say(view, msg::kSelectDrives, kMbCritical, msg::kAppTitle);

    // Paths as typed or pasted: surrounding blanks and quotes go, a relative path is taken
    // against the current folder, and every message shows the absolute path.
    Attempt([&] { state.strSourceADM = PathFromText(view.SourceText()); });
    if (!TestOrTrue([&] { return fileio::FileExists(state.strSourceADM); })) {
        return Say(view, msg::SourceNotFound(state.strSourceADM), kMbCritical, msg::kAppTitle);
    }
    if (IsFolder(state.strSourceADM)) {
        return Say(view, msg::SourceIsFolder(state.strSourceADM), kMbCritical, msg::kAppTitle);
    }

    Attempt([&] { state.strNewADM = PathFromText(view.NewText()); });
    // Nothing can be written at no path: the click ends as a generation that made nothing does.
    if (state.strNewADM.empty()) return Say(view, msg::kUnspecifiedError, kMbOk, "");

    if (TestOrTrue([&] { return NamesTheSource(state); })) {
        return Say(view, msg::kDifferentFile, kMbOk, "");
    }

    if (IsFolder(state.strNewADM)) {
        return Say(view, msg::NewPathIsFolder(state.strNewADM), kMbCritical, msg::kAppTitle);
    }

    ReplaceConsent consent;
    if (!MayWriteNewPath(view, state, consent)) return;

    Attempt([&] { state.dblDriveMask = GetDriveMask(view); });
    const GenerateResult result = Generate(view, state, consent);
    ReportOutcome(view, state, result);
}

}  // namespace tarnwick
