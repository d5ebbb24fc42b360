#include "tests/app/RunningTarnwick.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// Generous: the first start of a Wine prefix on a busy machine is slow. Waiting is no timing
// check; a test only fails here when the window never comes.
constexpr auto kPatience = 90s;
constexpr auto kPoll = 10ms;

std::wstring ExePath() {
    std::wstring path = Utf16Of(TARNWICK_EXE);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

// The environment of this process with `windir` replaced or removed, as a block for CreateProcess.
std::vector<wchar_t> EnvironmentWith(const std::optional<std::wstring>& windir) {
    std::vector<wchar_t> block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"windir=", 7) == 0) continue;
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(strings);
    if (windir) {
        const std::wstring entry = L"windir=" + *windir;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring WindowText(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

struct Search {
    DWORD processId = 0;
    HWND owner = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != L"TarnwickMainWindow") return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != L"#32770") return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindMainWindow(DWORD processId) {
    Search search{processId, nullptr, nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A visible message box owned by the main window, if one is up.
HWND FindMessageBox(HWND owner) {
    Search search{0, owner, nullptr};
    EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasIconChild(HWND box) {
    bool found = false;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" || ClassOf(child) == L"STATIC") {
            // The box keeps an icon control even without an icon; it then shows none.
            const bool iconControl = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
            if (iconControl && IsWindowVisible(child) &&
                SendMessageW(child, STM_GETICON, 0, 0) != 0) {
                found = true;
            }
        }
    }
    return found;
}

SeenBox Read(HWND box) {
    SeenBox seen;
    seen.title = WindowText(box);
    if (HWND text = GetDlgItem(box, 0xFFFF); text != nullptr) seen.text = WindowText(text);
    seen.hasIcon = HasIconChild(box);
    seen.hasYesNo = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
    return seen;
}

// Wine takes the system DPI of a process from the user's LogPixels value when the process starts.
class SystemDpi {
  public:
    explicit SystemDpi(int dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        DWORD size = sizeof previous_;
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(&previous_), &size) == ERROR_SUCCESS;
        Set(static_cast<DWORD>(dpi));
    }
    ~SystemDpi() {
        if (had_) {
            Set(previous_);
        } else {
            RegDeleteValueW(key_, L"LogPixels");
        }
        RegCloseKey(key_);
    }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

  private:
    void Set(DWORD value) {
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    HKEY key_ = nullptr;
    DWORD previous_ = 0;
    bool had_ = false;
};

void Press(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (IsWindow(box) && IsWindowVisible(box) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPoll);
    }
}

}  // namespace

std::wstring Utf16Of(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::uint32_t Rgb(COLORREF colour) {
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

RunningTarnwick::RunningTarnwick(std::optional<std::wstring> windir, int dpi) {
    const SystemDpi systemDpi(dpi);
    std::wstring commandLine = L"\"" + ExePath() + L"\"";
    std::vector<wchar_t> environment = EnvironmentWith(windir);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                        &process_)) {
        throw std::runtime_error("cannot start Tarnwick.exe");
    }
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (window_ == nullptr && std::chrono::steady_clock::now() < deadline) {
        window_ = FindMainWindow(process_.dwProcessId);
        if (window_ == nullptr) std::this_thread::sleep_for(kPoll);
    }
    if (window_ == nullptr) throw std::runtime_error("Tarnwick's window did not appear");
    threadId_ = GetWindowThreadProcessId(window_, nullptr);
    // Every message sent from here on is handled after start-up has finished.
    SendMessageW(window_, WM_NULL, 0, 0);
}

RunningTarnwick::~RunningTarnwick() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 30000) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
        }
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND RunningTarnwick::Control(int id) const {
    return GetDlgItem(window_, id);
}

std::wstring RunningTarnwick::Text(int id) const {
    return WindowText(Control(id));
}

void RunningTarnwick::SetText(int id, const std::wstring& text) {
    SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool RunningTarnwick::Checked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT RunningTarnwick::ClientRect(int id) const {
    RECT rect{};
    GetWindowRect(Control(id), &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void RunningTarnwick::Settle() const {
    SendMessageW(window_, WM_NULL, 0, 0);
    WaitForInputIdle(process_.hProcess, 5000);
    // Wine copies what a window painted to the X server a moment later.
    Sleep(500);
}

Picture RunningTarnwick::Capture() const {
    Settle();
    RECT client{};
    GetClientRect(window_, &client);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    Picture picture;
    picture.width = client.right;
    picture.height = client.bottom;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(pixels, pixels + picture.width * picture.height);
    for (std::uint32_t& pixel : picture.pixels)
        pixel &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

void RunningTarnwick::ChangeDpi(int dpi) {
    RECT now{};
    GetWindowRect(window_, &now);
    RECT suggested{now.left, now.top, now.left + (now.right - now.left) * dpi / 96,
                   now.top + (now.bottom - now.top) * dpi / 96};
    // The message's rectangle lives in Tarnwick's own memory.
    void* remote =
        VirtualAllocEx(process_.hProcess, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process_.hProcess, remote, &suggested, sizeof suggested, nullptr);
    SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
}

template <class Action>
std::vector<SeenBox> RunningTarnwick::AnsweringBoxes(Action action, std::vector<int> answers,
                                                     const BoxVisit& visit) {
    std::vector<SeenBox> seen;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        std::size_t next = 0;
        while (!done) {
            HWND box = FindMessageBox(window_);
            if (box == nullptr) {
                std::this_thread::sleep_for(kPoll);
                continue;
            }
            if (visit) visit(box, next);
            SeenBox read = Read(box);
            int button = next < answers.size() ? answers[next++] : (read.hasYesNo ? IDNO : IDOK);
            seen.push_back(std::move(read));
            Press(box, button);
        }
    });
    action();  // returns once the click's handler has returned, boxes and all
    done = true;
    answerer.join();
    return seen;
}

std::vector<SeenBox> RunningTarnwick::Click(int id, std::vector<int> answers, BoxVisit visit) {
    return AnsweringBoxes([&] { SendMessageW(Control(id), BM_CLICK, 0, 0); }, std::move(answers),
                          visit);
}

std::vector<SeenBox> RunningTarnwick::ChooseMenuItem(int id, std::vector<int> answers,
                                                     BoxVisit visit) {
    return AnsweringBoxes([&] { SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); },
                          std::move(answers), visit);
}

bool RunningTarnwick::CloseAndWaitForExit() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (FindMessageBox(window_) != nullptr) return false;  // it asked something
        if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) return true;
    }
    return false;
}

}  // namespace tarnwick::test
