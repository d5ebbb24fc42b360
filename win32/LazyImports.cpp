// The system DLLs that only a command needs (COM and the shell for the dialogs, shlwapi for the XML
// reader's stream, bcrypt for the names of temporary files) are loaded when a command first calls
// them, not by the loader before the window can appear: a start of the window loads none of them.
//
// Each exe links this file as an object. It defines the import slots the compiler calls through
// (__imp__Name@N) as pointers to stubs that load the DLL from the system folder and call the real
// function, so the linker takes these slots instead of the import libraries' and the exe's import
// table no longer names the DLL. The libraries keep calling the functions by their usual names.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "win32/SystemFolder.h"

namespace {

// The function `name` of the system DLL `dll`, loaded once; null when either is missing.
template <class Function>
Function Resolve(const wchar_t* dll, const char* name) {
    HMODULE module = tarnwick::win32::LoadSystemLibrary(dll);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HRESULT WINAPI CoCreateInstanceStub(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID* object) {
    static const auto real =
        Resolve<decltype(&CoCreateInstanceStub)>(L"ole32.dll", "CoCreateInstance");
    if (real == nullptr) {
        *object = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    return real(clsid, outer, context, iid, object);
}

HRESULT WINAPI CoInitializeExStub(LPVOID reserved, DWORD model) {
    static const auto real = Resolve<decltype(&CoInitializeExStub)>(L"ole32.dll", "CoInitializeEx");
    return real == nullptr ? E_FAIL : real(reserved, model);
}

void WINAPI CoTaskMemFreeStub(LPVOID memory) {
    static const auto real = Resolve<decltype(&CoTaskMemFreeStub)>(L"ole32.dll", "CoTaskMemFree");
    if (real != nullptr) real(memory);
}

void WINAPI CoUninitializeStub() {
    static const auto real = Resolve<decltype(&CoUninitializeStub)>(L"ole32.dll", "CoUninitialize");
    if (real != nullptr) real();
}

HRESULT WINAPI SHCreateItemFromParsingNameStub(PCWSTR path, IBindCtx* context, REFIID iid,
                                               void** item) {
    static const auto real = Resolve<decltype(&SHCreateItemFromParsingNameStub)>(
        L"shell32.dll", "SHCreateItemFromParsingName");
    if (real == nullptr) {
        *item = nullptr;
        return E_NOTIMPL;
    }
    return real(path, context, iid, item);
}

IStream* WINAPI SHCreateMemStreamStub(const BYTE* bytes, UINT size) {
    static const auto real =
        Resolve<decltype(&SHCreateMemStreamStub)>(L"shlwapi.dll", "SHCreateMemStream");
    return real == nullptr ? nullptr : real(bytes, size);
}

}  // namespace

// bcrypt.h declares BCryptGenRandom without dllimport, so callers call the function itself
// (_BCryptGenRandom@16, the import library's jump) rather than through its slot: the stub takes
// that name.
extern "C" LONG WINAPI BCryptGenRandomStub(void* algorithm, PUCHAR buffer, ULONG size,
                                           ULONG flags) __asm__("_BCryptGenRandom@16");
extern "C" LONG WINAPI BCryptGenRandomStub(void* algorithm, PUCHAR buffer, ULONG size,
                                           ULONG flags) {
    static const auto real =
        Resolve<decltype(&BCryptGenRandomStub)>(L"bcrypt.dll", "BCryptGenRandom");
    return real == nullptr ? static_cast<LONG>(0xC0000225L)  // STATUS_NOT_FOUND
                           : real(algorithm, buffer, size, flags);
}

// The import slots, named as the compiler refers to them for 32-bit stdcall functions.
extern "C" {
extern void* const lazy_CoCreateInstance __asm__("__imp__CoCreateInstance@20");
extern void* const lazy_CoInitializeEx __asm__("__imp__CoInitializeEx@8");
extern void* const lazy_CoTaskMemFree __asm__("__imp__CoTaskMemFree@4");
extern void* const lazy_CoUninitialize __asm__("__imp__CoUninitialize@0");
extern void* const lazy_SHCreateItemFromParsingName __asm__(
    "__imp__SHCreateItemFromParsingName@16");
extern void* const lazy_SHCreateMemStream __asm__("__imp__SHCreateMemStream@8");

void* const lazy_CoCreateInstance = reinterpret_cast<void*>(&CoCreateInstanceStub);
void* const lazy_CoInitializeEx = reinterpret_cast<void*>(&CoInitializeExStub);
void* const lazy_CoTaskMemFree = reinterpret_cast<void*>(&CoTaskMemFreeStub);
void* const lazy_CoUninitialize = reinterpret_cast<void*>(&CoUninitializeStub);
void* const lazy_SHCreateItemFromParsingName =
    reinterpret_cast<void*>(&SHCreateItemFromParsingNameStub);
void* const lazy_SHCreateMemStream = reinterpret_cast<void*>(&SHCreateMemStreamStub);
}
