// The window class and style of each control of the layout table, shared by the window and the
// start-up benchmark's reference window, so that the reference builds exactly the same controls.
#pragma once

#include <windows.h>

#include "app/FormLayout.h"
#include "app/resource.h"

namespace tarnwick::app {

inline const wchar_t* ClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::Picture:
            return L"STATIC";
        case ControlKind::TextBox:
            return L"EDIT";
        default:
            return L"BUTTON";
    }
}

inline DWORD StyleOf(const DesignedControl& design) {
    // Every control but the second option button starts a group, so the arrow keys move only
    // within the option pair. Every control is clipped by the siblings in front of it, so none
    // paints over another: the icons stay on their buttons, the labels stay behind the text boxes
    // they reach into.
    const DWORD common =
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (design.id == IDC_OPTION1_0 ? 0 : WS_GROUP);
    switch (design.kind) {
        case ControlKind::Frame:
            return common | BS_GROUPBOX;
        case ControlKind::OptionButton:
            return common | BS_AUTORADIOBUTTON;
        case ControlKind::CheckBox:
            return common | WS_TABSTOP | BS_AUTOCHECKBOX;
        case ControlKind::Label:
            return common | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        case ControlKind::TextBox:
            return common | WS_TABSTOP | ES_AUTOHSCROLL;
        case ControlKind::Button:
            return common | WS_TABSTOP | BS_PUSHBUTTON;
        case ControlKind::Picture:
            return common | SS_OWNERDRAW;  // DrawPicture
    }
    return common;
}

}  // namespace tarnwick::app
