#include "ConnectionState.h"

#include <QNetworkInformation>

namespace {

std::optional<bool> systemReachability()
{
    if (!QNetworkInformation::instance()
        && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        return std::nullopt;
    }
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (!info) {
        return std::nullopt;
    }
    switch (info->reachability()) {
    case QNetworkInformation::Reachability::Disconnected:
        return false;
    case QNetworkInformation::Reachability::Unknown:
        return std::nullopt;
    default:
        return true;
    }
}

}  // namespace

ConnectionState::ConnectionState(bool offlineRequested, Probe probe)
    : m_offlineRequested(offlineRequested)
    , m_offline(offlineRequested)
    , m_probe(probe ? std::move(probe) : Probe([] { return std::optional<bool>(); }))
{}

ConnectionState::Probe ConnectionState::systemProbe()
{
    return systemReachability;
}

void ConnectionState::Refresh()
{
    const std::optional<bool> reachable = m_probe();
    m_connected = reachable.value_or(true);
}

bool ConnectionState::SetGlobalOnline()
{
    if (m_offlineRequested) {
        return false;
    }
    m_offline = false;
    return true;
}

bool ConnectionState::SetGlobalOffline()
{
    m_offline = true;
    return true;
}

bool ConnectionState::decideStartOnline()
{
    Refresh();
    if (!m_connected) {
        return false;
    }
    if (!m_offline) {
        return true;
    }
    SetGlobalOnline();
    Refresh();
    return m_connected && !m_offline;
}
