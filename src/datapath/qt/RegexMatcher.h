#pragma once

#include <QRegularExpression>
#include <QString>

#include <memory>
#include <string_view>

#include "datapath/text/TextSearch.h"

namespace zenta {

// A regular expression (Qt's, compiled to machine code once) as a text matcher. It
// matches within one line: the subject handed to the engine is the line around the
// search position, so each call costs a line, not the whole text (the engine checks
// the subject's UTF-16 on every call). Lines longer than a piece are searched in
// overlapping pieces.
class RegexMatcher : public TextMatcher {
  public:
    RegexMatcher(const QString& pattern, bool matchCase);
    bool isValid() const { return re_.isValid(); }
    QString errorString() const { return re_.errorString(); }
    std::optional<TextMatch> next(std::u16string_view text, std::size_t from) const override;

  private:
    QRegularExpression re_;
};

// What a find field's text means.
enum class QueryKind { Text, Regex, HexBytes };

// The matcher of a query, or null with `error` set (an empty query has no matcher and
// no error).
std::unique_ptr<TextMatcher> MakeMatcher(const QString& query, QueryKind kind, bool matchCase,
                                         QString* error = nullptr);

}  // namespace zenta
