#pragma once

// Loads COM add-ins the way PowerPoint does: every key under HKCU\...\PowerPoint\Addins becomes an
// entry of COMAddIns; those with LoadBehavior 3 are created in-process and connected through
// IDTExtensibility2 at start, and disconnected at shutdown. An add-in that fails or throws in a
// handler is dropped and marked LoadBehavior 2, and the host goes on.
#include "standin/win/com_addins.h"

namespace kestova::standin::win {

class AddinLoader {
public:
    explicit AddinLoader(Host& host) : host_(host) {}

    // Reads the registered add-ins into the host's entries and connects those to load at start:
    // OnConnection for each, then OnStartupComplete for each.
    void LoadAtStartup();
    // Creates and connects one add-in (also when a user switches it on later).
    HRESULT Connect(ComAddIn& entry, ext_ConnectMode mode) noexcept;
    // OnDisconnection, then the add-in object is released.
    HRESULT Disconnect(ComAddIn& entry, ext_DisconnectMode mode) noexcept;
    // Host shutdown: OnBeginShutdown for every connected add-in, then OnDisconnection for each.
    void ShutdownAll() noexcept;

private:
    template <typename Handler>
    HRESULT CallHandler(ComAddIn& entry, const wchar_t* stage, Handler&& handler) noexcept;
    void Disable(ComAddIn& entry) noexcept;

    Host& host_;
};

} // namespace kestova::standin::win
