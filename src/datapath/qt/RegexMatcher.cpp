#include "datapath/qt/RegexMatcher.h"

#include <algorithm>

namespace zenta {

namespace {

// Longest subject given to the engine, and how far a piece reaches back into the one
// before it (a match longer than that across a piece's edge in a huge line is missed).
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::size_t kBack = 1024;

}  // namespace

RegexMatcher::RegexMatcher(const QString& pattern, bool matchCase) : re_(pattern) {
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!matchCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    re_.setPatternOptions(options);
    re_.optimize();
}

std::optional<TextMatch> RegexMatcher::next(std::u16string_view text, std::size_t from) const {
    if (!re_.isValid())
        return std::nullopt;
    while (from <= text.size()) {
        std::size_t start = from;
        const std::size_t floor = from > kBack ? from - kBack : 0;
        while (start > floor && text[start - 1] != u'\n')
            --start;
        std::size_t end = from;
        const std::size_t ceiling = std::min(text.size(), start + kPiece);
        while (end < ceiling && text[end] != u'\n')
            ++end;
        const QStringView subject(text.data() + start, static_cast<qsizetype>(end - start));
        const QRegularExpressionMatch m = re_.match(subject, static_cast<qsizetype>(from - start));
        if (m.hasMatch()) {
            return TextMatch{start + static_cast<std::size_t>(m.capturedStart()),
                             static_cast<std::size_t>(m.capturedLength())};
        }
        if (end >= text.size())
            break;
        // The next line, or the next piece of a long one.
        from = text[end] == u'\n' ? end + 1 : std::max(end - kBack, from + 1);
    }
    return std::nullopt;
}

std::unique_ptr<TextMatcher> MakeMatcher(const QString& query, QueryKind kind, bool matchCase,
                                         QString* error) {
    if (error)
        error->clear();
    if (query.isEmpty())
        return nullptr;
    const std::u16string_view units(reinterpret_cast<const char16_t*>(query.utf16()),
                                    static_cast<std::size_t>(query.size()));
    switch (kind) {
        case QueryKind::Text:
            return std::make_unique<LiteralMatcher>(units, matchCase);
        case QueryKind::HexBytes: {
            auto hex = HexBytesMatcher::Normalize(units);
            if (!hex) {
                if (error)
                    *error = QStringLiteral("hex bytes expected, e.g. 0D 0A");
                return nullptr;
            }
            return std::make_unique<HexBytesMatcher>(*hex);
        }
        case QueryKind::Regex: {
            auto re = std::make_unique<RegexMatcher>(query, matchCase);
            if (!re->isValid()) {
                if (error)
                    *error = re->errorString();
                return nullptr;
            }
            return re;
        }
    }
    return nullptr;
}

}  // namespace zenta
