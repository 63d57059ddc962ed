#include "VbRegExp.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRegExp, "yomimaru.regexp", QtWarningMsg)

namespace {

// Bounds on the work one search may do; a user's catastrophic pattern then
// costs milliseconds instead of hanging the program.
constexpr uint32_t kMatchLimit = 2'000'000;
constexpr uint32_t kDepthLimit = 10'000;
constexpr size_t kJitStackMax = 4 * 1024 * 1024;

constexpr uint32_t kCompileOptions = PCRE2_UTF | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX
                                     | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF
                                     | PCRE2_MATCH_INVALID_UTF;

PCRE2_SPTR16 codeUnits(const QString& s)
{
    return reinterpret_cast<PCRE2_SPTR16>(s.utf16());
}

}  // namespace

struct VbRegExp::Compiled
{
    pcre2_code* code = nullptr;
    pcre2_match_data* matchData = nullptr;
    pcre2_match_context* matchContext = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    uint32_t groups = 0;

    ~Compiled()
    {
        pcre2_match_data_free(matchData);
        pcre2_match_context_free(matchContext);
        pcre2_jit_stack_free(jitStack);
        pcre2_code_free(code);
    }
};

VbRegExp::VbRegExp() = default;

VbRegExp::VbRegExp(const QString& pattern, bool global, bool ignoreCase)
    : m_pattern(pattern)
    , m_global(global)
    , m_ignoreCase(ignoreCase)
{
    compile();
}

VbRegExp::~VbRegExp() = default;

VbRegExp::VbRegExp(const VbRegExp& other)
    : m_pattern(other.m_pattern)
    , m_global(other.m_global)
    , m_ignoreCase(other.m_ignoreCase)
{
    compile();
}

VbRegExp& VbRegExp::operator=(const VbRegExp& other)
{
    if (this != &other) {
        m_pattern = other.m_pattern;
        m_global = other.m_global;
        m_ignoreCase = other.m_ignoreCase;
        compile();
    }
    return *this;
}

VbRegExp::VbRegExp(VbRegExp&&) noexcept = default;
VbRegExp& VbRegExp::operator=(VbRegExp&&) noexcept = default;

void VbRegExp::setPattern(const QString& pattern)
{
    if (pattern == m_pattern && m_compiled) {
        return;
    }
    m_pattern = pattern;
    compile();
}

void VbRegExp::setIgnoreCase(bool ignoreCase)
{
    if (ignoreCase == m_ignoreCase && m_compiled) {
        return;
    }
    m_ignoreCase = ignoreCase;
    compile();
}

bool VbRegExp::isValid() const
{
    return m_compiled != nullptr;
}

void VbRegExp::compile()
{
    m_compiled.reset();
    m_error.clear();

    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    const uint32_t options = kCompileOptions | (m_ignoreCase ? PCRE2_CASELESS : 0);
    pcre2_code* code = pcre2_compile(codeUnits(m_pattern), PCRE2_SIZE(m_pattern.size()), options, &errorCode,
                                     &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!code) {
        PCRE2_UCHAR16 buffer[256];
        const int len = pcre2_get_error_message(errorCode, buffer, 256);
        m_error = len > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), len) : QString();
        qCDebug(lcRegExp) << "pattern rejected:" << m_pattern << m_error << "at" << errorOffset;
        return;
    }

    auto compiled = std::make_unique<Compiled>();
    compiled->code = code;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &compiled->groups);
    compiled->matchData = pcre2_match_data_create_from_pattern(code, nullptr);
    compiled->matchContext = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(compiled->matchContext, kMatchLimit);
    pcre2_set_depth_limit(compiled->matchContext, kDepthLimit);
    if (pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0) {
        compiled->jitStack = pcre2_jit_stack_create(32 * 1024, kJitStackMax, nullptr);
        pcre2_jit_stack_assign(compiled->matchContext, nullptr, compiled->jitStack);
    }
    m_compiled = std::move(compiled);
}

bool VbRegExp::matchAt(const QString& text, qsizetype start) const
{
    const int rc = pcre2_match(m_compiled->code, codeUnits(text), PCRE2_SIZE(text.size()), PCRE2_SIZE(start),
                               0, m_compiled->matchData, m_compiled->matchContext);
    m_abandoned = rc < 0 && rc != PCRE2_ERROR_NOMATCH;
    if (m_abandoned) {
        qCDebug(lcRegExp) << "search abandoned:" << m_pattern << "error" << rc;
    }
    return rc > 0;
}

bool VbRegExp::Test(const QString& text) const
{
    return m_compiled && matchAt(text, 0);
}

VbMatch VbRegExp::currentMatch(const QString& text) const
{
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_compiled->matchData);
    VbMatch match;
    match.FirstIndex = qsizetype(ov[0]);
    match.Length = qsizetype(ov[1] - ov[0]);
    match.Value = text.mid(match.FirstIndex, match.Length);
    for (uint32_t g = 1; g <= m_compiled->groups; ++g) {
        if (ov[2 * g] == PCRE2_UNSET) {
            match.SubMatches.append(QString());
        } else {
            match.SubMatches.append(text.mid(qsizetype(ov[2 * g]), qsizetype(ov[2 * g + 1] - ov[2 * g])));
        }
    }
    return match;
}

// Expands "$1".."$9" in the replacement for the current match. Only a single
// digit names a group ("$10" is group 1 followed by "0"); "$" before anything
// else, and "$N" for a group the pattern does not have, stay as written.
QString VbRegExp::expand(const QString& text, const QString& replacement) const
{
    if (!replacement.contains(u'$')) {
        return replacement;
    }
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_compiled->matchData);
    QString out;
    out.reserve(replacement.size());
    const qsizetype n = replacement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = replacement.at(i);
        if (c == u'$' && i + 1 < n) {
            const char16_t d = replacement.at(i + 1).unicode();
            if (d >= u'1' && d <= u'9' && uint32_t(d - u'0') <= m_compiled->groups) {
                const uint32_t g = d - u'0';
                if (ov[2 * g] != PCRE2_UNSET) {
                    out += QStringView(text).mid(qsizetype(ov[2 * g]), qsizetype(ov[2 * g + 1] - ov[2 * g]));
                }
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// Steps past one character after an empty match, keeping a surrogate pair whole.
static qsizetype nextCharacter(const QString& text, qsizetype pos)
{
    if (pos + 1 < text.size() && text.at(pos).isHighSurrogate() && text.at(pos + 1).isLowSurrogate()) {
        return pos + 2;
    }
    return pos + 1;
}

QString VbRegExp::Replace(const QString& text, const QString& replacement) const
{
    if (!m_compiled) {
        return text;
    }
    QString out;
    qsizetype copied = 0;
    qsizetype start = 0;
    bool replaced = false;
    while (start <= text.size() && matchAt(text, start)) {
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_compiled->matchData);
        const auto begin = qsizetype(ov[0]);
        const auto end = qsizetype(ov[1]);
        if (!replaced) {
            out.reserve(text.size());
            replaced = true;
        }
        out += QStringView(text).mid(copied, begin - copied);
        out += expand(text, replacement);
        copied = end;
        if (!m_global) {
            break;
        }
        start = end > begin ? end : nextCharacter(text, end);
        if (end == begin && end < text.size()) {
            out += QStringView(text).mid(end, start - end);
            copied = start;
        }
    }
    if (!replaced) {
        return text;
    }
    out += QStringView(text).mid(copied);
    return out;
}

QList<VbMatch> VbRegExp::Execute(const QString& text) const
{
    QList<VbMatch> matches;
    if (!m_compiled) {
        return matches;
    }
    qsizetype start = 0;
    while (start <= text.size() && matchAt(text, start)) {
        matches.append(currentMatch(text));
        if (!m_global) {
            break;
        }
        const VbMatch& last = matches.constLast();
        const qsizetype end = last.FirstIndex + last.Length;
        start = last.Length > 0 ? end : nextCharacter(text, end);
    }
    return matches;
}
