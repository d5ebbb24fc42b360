// The main window: every input and command of Tarnwick. The event procedures are a few lines each
// and call logic that is tested without a window; the window also plays the FormView that the
// "Make ADM" command reads and reports through.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "command/MakeCommand.h"
#include "generate/FormState.h"

namespace tarnwick::app {

inline constexpr std::size_t kButtonIconCount = 5;

class frmMain final : public FormView {
  public:
    frmMain() = default;
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window and its controls and runs Form_Load; the window stays hidden.
    bool Load(HINSTANCE instance);
    void Show(int showCommand);
    HWND Handle() const { return window_; }

    // FormView, over the real controls.
    std::int16_t DriveValue(int index) const override;
    std::string DriveCaption(int index) const override;
    bool FollowingMode() const override;
    std::string SourceText() const override;
    std::string NewText() const override;
    int MsgBox(const std::string& text, int style, const std::string& title) override;
    void Beep() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnDpiChanged(int dpi, const RECT& suggested);

    void CreateControls();
    void CreateFonts();
    void DeleteFonts();
    void LoadIcons();
    bool DrawPicture(const DRAWITEMSTRUCT& item);
    void PlaceControls();
    void PlaceLabel3();
    void SizeWindowForClientArea();
    void KeepOptionGroupTabStop();

    HWND Control(int id) const { return GetDlgItem(window_, id); }
    std::string TextOf(int id) const;
    void SetTextOf(int id, const std::string& text);
    void SetDriveValue(int index, std::int16_t value);
    int Px(int twips) const;
    HFONT FontFor(int id) const;

    // Event procedures.
    void Form_Load();
    void Form_Unload(bool& cancel);
    void cmdSelect_Click(std::int16_t index);
    void cmdRunGPEdit_Click();
    void Command1_Click();
    void Timer1_Timer();
    void Help_About_Click();
    void LegalInfo_Click();

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    int dpi_ = 96;
    HFONT defaultFont_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT creditFont_ = nullptr;
    std::array<HICON, kButtonIconCount> buttonIcons_{};  // at buttonIconPx_, in picture order
    int buttonIconPx_ = 24;
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    int label3Left_ = 0;           // twips; the label is placed from it in pixels
    bool commandRunning_ = false;  // while Make ADM runs, timer ticks move nothing
    FormState state_;
};

}  // namespace tarnwick::app
