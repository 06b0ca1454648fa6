#include "settings/win/open_dialog.h"

namespace kestova::win {

namespace {

constexpr wchar_t kTitle[] = L"Open Microsoft Office PowerPoint presentation";

// Pairs of description and patterns, each ended by NUL, the list by a second NUL. "*.potm" is
// PowerPoint's macro-enabled template.
constexpr wchar_t kFilter[] = L"PowerPoint presentations\0"
                              L"*.ppt;*.pptx;*.pptm;*.pps;*.ppsx;*.ppsm;*.pot;*.potx;*.potm\0"
                              L"All files\0*.*\0";

// Room for long paths; the dialog reports a longer choice as an error instead of cutting it.
constexpr size_t kFileNameCapacity = 32768;

} // namespace

PresentationOpenDialog::PresentationOpenDialog()
    : title_(kTitle), filter_(kFilter, sizeof kFilter / sizeof kFilter[0]),
      fileName_(kFileNameCapacity, L'\0') {
    state_.lStructSize = sizeof state_;
    state_.lpstrFilter = filter_.c_str();
    state_.nFilterIndex = 1;
    state_.lpstrFile = fileName_.data();
    state_.nMaxFile = static_cast<DWORD>(fileName_.size());
    state_.lpstrTitle = title_.c_str();
    // OFN_NOCHANGEDIR: browsing leaves the program's current folder where it was.
    state_.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING |
                   OFN_EXPLORER | OFN_NOCHANGEDIR;
}

bool PresentationOpenDialog::Load() noexcept {
    if (!library_) {
        library_.reset(::LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (library_)
            getOpenFileName_ = reinterpret_cast<decltype(&::GetOpenFileNameW)>(
                reinterpret_cast<void (*)()>(::GetProcAddress(library_.get(), "GetOpenFileNameW")));
    }
    return getOpenFileName_ != nullptr;
}

void PresentationOpenDialog::SetInitialFolder(std::wstring folder) {
    initialFolder_ = std::move(folder);
    state_.lpstrInitialDir = initialFolder_.empty() ? nullptr : initialFolder_.c_str();
}

std::optional<std::wstring> PresentationOpenDialog::Execute(HWND owner) {
    // A cancelled dialog must not leave a half-typed name behind for the next showing.
    const std::vector<wchar_t> previousName = fileName_;
    const DWORD previousFilter = state_.nFilterIndex;
    state_.hwndOwner = owner;
    const BOOL chosen = Load() && getOpenFileName_(&state_);
    state_.hwndOwner = nullptr;
    if (!chosen) {
        fileName_ = previousName;
        state_.lpstrFile = fileName_.data();
        state_.nFilterIndex = previousFilter;
        return std::nullopt;
    }
    return std::wstring(fileName_.data());
}

} // namespace kestova::win
