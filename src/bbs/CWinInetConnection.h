#pragma once

// Whether the machine is connected, and whether the program is in offline
// mode, consulted once at start-up to decide between online and offline.
// "Connected" means the system does not report the network as gone (no
// report at all counts as connected); the offline mode is what the user asked
// for with --offline, and the program cannot switch it off behind the user's
// back. The class keeps the name of the interface it stands in for.

#include <functional>
#include <optional>

#include <QString>

class CWinInetConnection
{
public:
    // Reports the system's reachability: true connected, false disconnected,
    // nothing when unknown. The default asks QNetworkInformation.
    using Probe = std::function<std::optional<bool>()>;

    explicit CWinInetConnection(bool offlineRequested = false, Probe probe = {});

    void Refresh();

    bool IsConnected() const { return m_connected; }

    bool IsOffline() const { return m_offline; }

    bool UseModem() const { return false; }

    bool UseLAN() const { return m_connected; }

    bool UseProxy() const { return false; }

    bool IsRasInstalled() const { return false; }

    bool IsConnectionConfigured() const { return true; }

    QString ConnectionName() const { return m_connectionName; }

    // Leaving the offline mode is refused while the user's --offline stands.
    bool SetGlobalOnline();
    bool SetGlobalOffline();

    // The start-up decision: true to start online.
    bool decideStartOnline();

private:
    bool m_offlineRequested = false;
    bool m_offline = false;
    bool m_connected = false;
    QString m_connectionName;
    Probe m_probe;
};
