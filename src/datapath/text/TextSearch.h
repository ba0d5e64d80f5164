#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenta {

// A found stretch of text: [pos, pos + len), in UTF-16 units.
struct TextMatch {
    std::size_t pos = 0;
    std::size_t len = 0;
    std::size_t end() const { return pos + len; }
    bool operator==(const TextMatch&) const = default;
};

// Something that finds matches in a text: a literal here, a regular expression in the
// widget layer. Matches never overlap: the next one is searched from the end of the last.
class TextMatcher {
  public:
    virtual ~TextMatcher() = default;
    // First match starting at or after `from` (an empty match counts only as a start).
    virtual std::optional<TextMatch> next(std::u16string_view text, std::size_t from) const = 0;
    // Whether the text holds a match at all (lines of the filter).
    bool matches(std::u16string_view text) const { return next(text, 0).has_value(); }
};

// Folds a unit for a search that ignores case: ASCII, Latin-1, Greek and Cyrillic
// capitals to small letters. Other scripts (CJK above all) have no case.
char16_t FoldCase(char16_t c);

// A literal text, with or without regard to case.
class LiteralMatcher : public TextMatcher {
  public:
    LiteralMatcher(std::u16string_view needle, bool matchCase);
    std::optional<TextMatch> next(std::u16string_view text, std::size_t from) const override;

  private:
    std::u16string needle_;
    bool matchCase_;
    char16_t first_ = 0;
    char16_t other_ = 0;
};

// Bytes typed as hex ("0d 0a", "0D0A") found in the HEX form of the window ("0D 0A "):
// only on byte boundaries, whatever the case of the digits.
class HexBytesMatcher : public TextMatcher {
  public:
    // The query in the form the HEX text shows it ("0D 0A"); empty when the query is not
    // whole bytes of hex digits (spaces, commas and "0x" prefixes are allowed between).
    static std::optional<std::u16string> Normalize(std::u16string_view query);
    explicit HexBytesMatcher(std::u16string_view normalized);
    std::optional<TextMatch> next(std::u16string_view text, std::size_t from) const override;

  private:
    LiteralMatcher literal_;
};

// Every match of a text, from its start, kept up to a cap so that a query matching
// everything in a huge text neither stalls the window nor fills the memory.
struct MatchList {
    std::vector<TextMatch> matches;
    // More matches follow the last one kept.
    bool capped = false;
    // Matches counted, kept or not (counting stops at the count limit).
    std::size_t total = 0;
    bool countCapped = false;

    // Index of the first match starting at or after `pos` (size() when none).
    std::size_t firstAtOrAfter(std::size_t pos) const;
    // Index range of the matches that touch [from, to).
    std::pair<std::size_t, std::size_t> touching(std::size_t from, std::size_t to) const;
};
// Matches past `cap` are counted, up to `countLimit` (at least `cap`).
MatchList FindAll(std::u16string_view text, const TextMatcher& matcher, std::size_t cap,
                  std::size_t countLimit = 0);

// The match after (or before) position `pos`, wrapping round the text's end; searches the
// text itself, so it also reaches matches past a capped list.
std::optional<TextMatch> FindNext(std::u16string_view text, const TextMatcher& matcher,
                                  std::size_t pos);
std::optional<TextMatch> FindPrevious(std::u16string_view text, const TextMatcher& matcher,
                                      std::size_t pos);

}  // namespace zenta
