#include "CSrCntl.h"

#include "speech/ScreenReader.h"

CSrCntl::CSrCntl(const QList<ScreenReader*>& readers)
    : m_readers(readers)
{
    m_kinds.append(0);
}

CSrCntl::~CSrCntl()
{
    ExitInstance();
}

int CSrCntl::InitInstance()
{
    m_initialised = false;
    ExitInstance();
    m_kinds.resize(1);
    m_found.clear();
    for (ScreenReader* reader : std::as_const(m_readers)) {
        if (reader != nullptr && reader->detect()) {
            m_kinds.append(reader->kind());
            m_found.append(reader);
        }
    }
    m_count = qint16(m_found.size());
    m_initialised = true;
    return m_count;
}

void CSrCntl::ExitInstance()
{
    for (ScreenReader* reader : std::as_const(m_found)) {
        reader->end();
    }
}

void CSrCntl::Block_SRVoice()
{
    if (!m_initialised) {
        return;
    }
    for (ScreenReader* reader : std::as_const(m_found)) {
        reader->silence();
    }
}

qint16 CSrCntl::kind(int index) const
{
    return index >= 1 && index < m_kinds.size() ? m_kinds.at(index) : qint16(0);
}
