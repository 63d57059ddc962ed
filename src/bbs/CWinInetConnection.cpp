#include "CWinInetConnection.h"

#include <QNetworkInformation>

using namespace Qt::StringLiterals;

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

CWinInetConnection::CWinInetConnection(bool offlineRequested, Probe probe)
    : m_offlineRequested(offlineRequested)
    , m_offline(offlineRequested)
    , m_probe(probe ? std::move(probe) : Probe(systemReachability))
{}

void CWinInetConnection::Refresh()
{
    const std::optional<bool> reachable = m_probe();
    m_connected = reachable.value_or(true);
    m_connectionName = m_connected ? u"LAN"_s : QString();
}

bool CWinInetConnection::SetGlobalOnline()
{
    if (m_offlineRequested) {
        return false;
    }
    m_offline = false;
    return true;
}

bool CWinInetConnection::SetGlobalOffline()
{
    m_offline = true;
    return true;
}

bool CWinInetConnection::decideStartOnline()
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
