#include "framework/find_context.h"

namespace {
bool HasWildcards(QStringView pattern)
{
    return pattern.contains(u'*') || pattern.contains(u'?');
}

// Iterative glob matching with backtracking to the last "*": linear in practice.
bool Glob(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++n, ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}
} // namespace

bool MatchesFindPattern(QStringView name, QStringView pattern)
{
    if (pattern.isEmpty() || pattern == u"*" || pattern == u"*.*")
        return true;
    if (!HasWildcards(pattern))
        return name == pattern;
    return Glob(name, pattern);
}
