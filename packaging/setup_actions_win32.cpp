// The installer's own actions, in a library that travels inside the installer and is never
// installed. Each returns ERROR_SUCCESS whatever happens: an installation neither waits for
// nor fails on them.
#include <string>
#include <system_error>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "cmdline/end_kelvara_win32.h"
#include "component/configuration_win32.h"
#include "desktop_access/history.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "desktop_access/named_layouts.h"
#include "desktop_access/unsaved_usage.h"

extern "C" {

// Before anything is replaced or removed: a running Kelvara ends, as its menu's Quit does, and
// KELVARAWASRUNNING tells the end of an update to start the new one.
UINT WINAPI EndKelvara(MSIHANDLE installation) noexcept {
    if (cmdline::endKelvara(10000) != cmdline::Ending::notRunning)
        MsiSetPropertyW(installation, L"KELVARAWASRUNNING", L"1");
    return ERROR_SUCCESS;
}

// An uninstallation with PURGE=1: the user's settings, the icon store and every file beside it.
UINT WINAPI PurgeUserData(MSIHANDLE) noexcept {
    try {
        const std::wstring productId = component::configuration().productId;
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + productId).c_str());
        const std::filesystem::path store = component::defaultStorePath(productId);
        if (store.empty())
            return ERROR_SUCCESS;
        std::filesystem::path damagedNamed = desktop_access::namedLayoutsPathFor(store);
        damagedNamed += ".damaged";
        for (const std::filesystem::path& file :
             {store, desktop_access::usageJournalPathFor(store),
              desktop_access::layoutsPathFor(store), desktop_access::lastDisplayPathFor(store),
              desktop_access::historyPathFor(store), desktop_access::namedLayoutsPathFor(store),
              damagedNamed}) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
    } catch (...) {
    }
    return ERROR_SUCCESS;
}

} // extern "C"
