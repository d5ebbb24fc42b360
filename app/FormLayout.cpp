#include "app/FormLayout.h"

#include <array>
#include <vector>

#include "app/resource.h"
#include "command/Messages.h"
#include "core/Selection.h"

namespace tarnwick::app {
namespace {

using K = ControlKind;

// Tops of the drive boxes: A: to M: on the left, N: to Z: on the right. The right-hand column was
// drawn by hand and sits up to 30 twips lower on some rows; that is the window's design and stays.
// Rows whose tops agree in twips agree on the screen, since every place is converted once.
constexpr std::array<int, kDriveCount> kDriveTops = {
    900, 1185, 1485, 1770, 2070, 2370, 2655, 2940, 3240, 3525, 3810, 4110, 4395,
    900, 1215, 1515, 1800, 2085, 2370, 2670, 2955, 3240, 3525, 3825, 4110, 4395};
constexpr int kDriveLeftColumn = 570;
constexpr int kDriveRightColumn = 1695;
constexpr int kDriveWidth = 1095;

int DriveHeight(int index) {
    if (index == 3) return 345;
    if (index == 13) return 360;
    return 330;
}

DesignedControl DriveBox(int index) {
    const int left = index < kDrivesPerColumn ? kDriveLeftColumn : kDriveRightColumn;
    return {IDC_CHKDRIVE_0 + index,
            K::CheckBox,
            "",  // Form_Load writes the letters
            IDC_FRAME1,
            {left, kDriveTops[static_cast<std::size_t>(index)], kDriveWidth, DriveHeight(index)},
            0};
}

std::vector<DesignedControl> BuildControls() {
    std::vector<DesignedControl> controls = {
        {IDC_COMMAND1, K::Button, "Make ADM", 0, {3240, 3723, 3405, 520}, 0},
        {IDC_CMDSELECT_0 + 1, K::Button, "Select All ", 0, {3240, 1755, 3405, 520}, 0},
        {IDC_CMDSELECT_0 + 0, K::Button, "Deselect All ", 0, {3240, 2411, 3405, 520}, 0},
        {IDC_CMDSELECT_0 + 2, K::Button, "Invert Selection", 0, {3240, 3067, 3405, 520}, 0},
        {IDC_FRAME1, K::Frame, "", 0, {30, 45, 2925, 4855}, 0},
        {IDC_OPTION1_1,
         K::OptionButton,
         "Restrict all drives but :",
         IDC_FRAME1,
         {90, 540, 2490, 360},
         0},
        {IDC_OPTION1_0,
         K::OptionButton,
         "Restrict the following drives:",
         IDC_FRAME1,
         {90, 180, 2490, 360},
         0},
    };
    // Tab indexes 7 to 32: Z: first, A: last.
    for (int index = kDriveCount - 1; index >= 0; --index)
        controls.push_back(DriveBox(index));
    const std::vector<DesignedControl> rest = {
        {IDC_CMDRUNGPEDIT, K::Button, "Open Group Policy Snap-in", 0, {3240, 4380, 3405, 520}, 0},
        {IDC_LABEL3, K::Label, msg::kCreditLine, 0, {kLabel3StartLeft, kLabel3Top, 2610, 255}, 0},
        {IDC_FRAME2, K::Frame, "", 0, {3000, 45, 3735, 1530}, 0},
        {IDC_TXTNEWADM, K::TextBox, "", IDC_FRAME2, {210, 1065, 3420, 300}, 0},
        {IDC_TXTSOURCEADM, K::TextBox, "", IDC_FRAME2, {210, 390, 3420, 300}, 0},
        {IDC_LABEL2, K::Label, "New ADM File", IDC_FRAME2, {75, 810, 2535, 270}, 0},
        {IDC_LABEL1, K::Label, "Source ADM File (system.adm)", IDC_FRAME2, {75, 150, 2535, 270}, 0},
        {IDC_PICSELECTALL, K::Picture, "", 0, {3360, 1830, 375, 345}, IDI_SELECT_ALL},
        {IDC_PICDESELECT, K::Picture, "", 0, {3360, 2490, 375, 345}, IDI_DESELECT_ALL},
        {IDC_PICINVERT, K::Picture, "", 0, {3360, 3142, 375, 360}, IDI_INVERT},
        {IDC_PICADM, K::Picture, "", 0, {3360, 3788, 375, 330}, IDI_MAKE_ADM},
        {IDC_PICTURE2, K::Picture, "", 0, {3360, 4455, 375, 330}, IDI_GPEDIT},
    };
    controls.insert(controls.end(), rest.begin(), rest.end());
    return controls;
}

}  // namespace

std::span<const DesignedControl> FormControls() {
    static const std::vector<DesignedControl> controls = BuildControls();
    return controls;
}

TwipsRect OnWindow(const DesignedControl& design) {
    TwipsRect place = design.place;
    for (const DesignedControl& frame : FormControls()) {
        if (frame.id != design.containerId) continue;
        place.left += frame.place.left;
        place.top += frame.place.top;
    }
    return place;
}

FontKind FontOf(int id) {
    if (id == IDC_COMMAND1) return FontKind::BoldSansSerif;
    if (id == IDC_LABEL3) return FontKind::Credit;
    return FontKind::Default;
}

}  // namespace tarnwick::app
