#pragma once

// Whether the machine is connected, and whether the program is in offline
// mode, consulted once at start-up to decide between online and offline.
// "Connected" means the system does not report the network as gone (no
// report at all counts as connected); the offline mode is what the user asked
// for with --offline, and the program cannot switch it off behind the user's
// back.

#include <functional>
#include <optional>

class ConnectionState
{
public:
    // Reports the system's reachability: true connected, false disconnected,
    // nothing when unknown. Without one, nothing is known (which counts as
    // connected); the program passes systemProbe.
    using Probe = std::function<std::optional<bool>()>;

    explicit ConnectionState(bool offlineRequested = false, Probe probe = {});

    // The system's word on reachability (QNetworkInformation).
    static Probe systemProbe();

    void Refresh();

    bool IsConnected() const { return m_connected; }

    bool IsOffline() const { return m_offline; }

    // Leaving the offline mode is refused while the user's --offline stands.
    bool SetGlobalOnline();
    bool SetGlobalOffline();

    // The start-up decision: true to start online.
    bool decideStartOnline();

private:
    bool m_offlineRequested = false;
    bool m_offline = false;
    bool m_connected = false;
    Probe m_probe;
};
