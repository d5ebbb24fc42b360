// Every control of the main window with its kind, caption, container and place in twips, as the
// window is first shown, listed in ascending tab index.
#pragma once

#include <span>

namespace tarnwick::app {

inline constexpr int kInnerWidthTwips = 6810;
inline constexpr int kInnerHeightTwips = 5115;
inline constexpr int kLabel3StartLeft = 6510;
inline constexpr int kLabel3Top = 4900;
inline constexpr int kDrivesPerColumn = 13;

enum class ControlKind { Frame, OptionButton, CheckBox, Label, TextBox, Button, Picture };

struct TwipsRect {
    int left = 0, top = 0, width = 0, height = 0;
};

struct DesignedControl {
    int id;
    ControlKind kind;
    const char* caption;  // UTF-8; empty for frames, pictures and text boxes
    int containerId;      // the frame the control sits in, 0 for the window
    TwipsRect place;      // relative to the container
    int iconId;           // for pictures, 0 otherwise
};

enum class FontKind { Default, BoldSansSerif, Credit };

// Every control, in ascending tab index: the order they are created in, which is the Tab key's.
std::span<const DesignedControl> FormControls();

// The control's place relative to the window's inner area: within a frame, the frame's corner
// added. Converted to pixels once, so that controls that line up in twips line up on the screen.
TwipsRect OnWindow(const DesignedControl& design);

// The font of a control: "Make ADM" and the credit line have their own.
FontKind FontOf(int id);

}  // namespace tarnwick::app
