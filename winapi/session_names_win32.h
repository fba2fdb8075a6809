// The names by which Kelvara's programs find each other in the logon session (the command line,
// the installer, the component in any process): the class of the launcher's hidden window, which
// takes WM_CLOSE as its menu's Quit; the mutex the launcher holds from its start to its end (its
// window comes only after its first arrangement); and the message the component posts that
// window after each save of the store: wParam 0 when it was saved, 1 when it was not, with the
// system's error code in lParam (the launcher tells the user once, in its balloon).
#pragma once

namespace winapi {

inline constexpr wchar_t launcherWindowClass[] = L"KelvaraLauncher";
inline constexpr wchar_t singleInstanceMutex[] = L"Kelvara_SingleInstance";
inline constexpr wchar_t saveOutcomeMessage[] = L"Kelvara.SaveOutcome";

} // namespace winapi
