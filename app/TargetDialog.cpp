#include "app/TargetDialog.h"

#include <string>

#include "app/PreferenceTarget.h"
#include "app/WideText.h"
#include "app/resource.h"
#include "command/Messages.h"
#include "win32/AccountLookup.h"

namespace tarnwick::app {

namespace {

struct DialogState {
    std::vector<prefs::Target> targets;
};

std::string TextOf(HWND dialog, int id) {
    wchar_t buffer[1024] = {};
    GetDlgItemTextW(dialog, id, buffer, 1024);
    return Narrow(buffer);
}

prefs::TargetKind KindChecked(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_GPP_USER) == BST_CHECKED) return prefs::TargetKind::User;
    if (IsDlgButtonChecked(dialog, IDC_GPP_OU) == BST_CHECKED) return prefs::TargetKind::OrgUnit;
    return prefs::TargetKind::Group;
}

void Complain(HWND dialog, const std::string& text) {
    MessageBoxW(dialog, Widen(text).c_str(), Widen(msg::kAppTitle).c_str(), MB_ICONEXCLAMATION);
}

// The hint under the name, and the SID and its look-up only where the kind has a SID.
void ShowKind(HWND dialog) {
    const prefs::TargetKind kind = KindChecked(dialog);
    SetDlgItemTextW(dialog, IDC_GPP_HINT, Widen(NameHint(kind)).c_str());
    const bool sid = kind != prefs::TargetKind::OrgUnit;
    for (int id : {IDC_GPP_SID, IDC_GPP_LOOKUP})
        EnableWindow(GetDlgItem(dialog, id), sid);
}

// The condition typed, added to the list; false (and said why) when it is not whole. Nothing
// typed adds nothing.
bool AddTyped(HWND dialog, DialogState& state) {
    TypedCondition typed;
    typed.kind = KindChecked(dialog);
    typed.name = TextOf(dialog, IDC_GPP_NAME);
    typed.sid = TextOf(dialog, IDC_GPP_SID);
    typed.negated = IsDlgButtonChecked(dialog, IDC_GPP_NOT) == BST_CHECKED;
    if (typed.name.find_first_not_of(" \t") == std::string::npos && typed.sid.empty()) return true;
    auto target = TargetOf(typed);
    if (!target) {
        Complain(dialog, target.failure().message);
        return false;
    }
    SendDlgItemMessageW(dialog, IDC_GPP_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(Widen(ConditionLine(*target)).c_str()));
    state.targets.push_back(std::move(*target));
    for (int id : {IDC_GPP_NAME, IDC_GPP_SID})
        SetDlgItemTextW(dialog, id, L"");
    CheckDlgButton(dialog, IDC_GPP_NOT, BST_UNCHECKED);
    return true;
}

void LookUp(HWND dialog) {
    const bool group = KindChecked(dialog) == prefs::TargetKind::Group;
    const std::string name = TextOf(dialog, IDC_GPP_NAME);
    const win32::AccountSid found = win32::SidOfAccount(name, group);
    if (found.sid.empty()) {
        Complain(dialog, "The name \"" + name + "\" cannot be used: " + found.problem);
        return;
    }
    SetDlgItemTextW(dialog, IDC_GPP_NAME, Widen(found.name).c_str());
    SetDlgItemTextW(dialog, IDC_GPP_SID, Widen(found.sid).c_str());
}

INT_PTR CALLBACK TargetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        CheckDlgButton(dialog, IDC_GPP_GROUP, BST_CHECKED);
        ShowKind(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    auto& state = *reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (LOWORD(wParam)) {
        case IDC_GPP_GROUP:
        case IDC_GPP_USER:
        case IDC_GPP_OU:
            ShowKind(dialog);
            return TRUE;
        case IDC_GPP_ADD:
            AddTyped(dialog, state);
            return TRUE;
        case IDC_GPP_LOOKUP:
            LookUp(dialog);
            return TRUE;
        case IDC_GPP_REMOVE: {
            const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_GPP_LIST, LB_GETCURSEL, 0, 0);
            if (chosen == LB_ERR) return TRUE;
            SendDlgItemMessageW(dialog, IDC_GPP_LIST, LB_DELETESTRING, static_cast<WPARAM>(chosen),
                                0);
            state.targets.erase(state.targets.begin() + chosen);
            return TRUE;
        }
        case IDOK:
            // A condition typed but not added yet is meant too; the dialog stays while it is not
            // whole, with what was typed.
            if (AddTyped(dialog, state)) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool AskTargets(HWND owner, std::vector<prefs::Target>& targets) {
    DialogState state;
    if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GPP_TARGET), owner,
                        TargetProc, reinterpret_cast<LPARAM>(&state)) != IDOK) {
        return false;
    }
    targets = std::move(state.targets);
    return true;
}

}  // namespace tarnwick::app
