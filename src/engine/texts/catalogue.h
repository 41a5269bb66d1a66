#pragma once
// A translation catalogue in gettext's PO form, read from its text, and the
// plural rule its header names.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane::texts {

// A Plural-Forms expression ("n != 1", "n%10==1 && n%100!=11 ? 0 : 1"), in
// C's syntax and precedence over n and whole numbers: ?:, ||, &&, == !=,
// < > <= >=, + -, * / %, ! and parentheses.
class PluralRule {
public:
    // Nothing when the text is not such an expression.
    static std::optional<PluralRule> parse(std::string_view expression);
    // The form's index for the number (a division by zero gives form 0).
    std::uint64_t formFor(std::uint64_t n) const;

private:
    struct Node {
        enum Kind : std::uint8_t { Number, N, Not, Binary, Choice } kind;
        char op = 0;  // '|' for ||, '&' for &&, '=' ==, '!' !=, 'l' <=, 'g' >=, or the operator itself
        std::uint64_t value = 0;
        int a = -1, b = -1, c = -1;
    };
    friend class PluralParser;
    std::uint64_t evaluate(int node, std::uint64_t n) const;
    std::vector<Node> m_nodes;
    int m_root = -1;
};

// One language's messages: for each source text (with its context), its
// forms; an untranslated or fuzzy entry is left out, as gettext leaves it.
class Catalogue {
public:
    // Nothing, with the line and the fault in error, for text that is not a PO file.
    static std::optional<Catalogue> parse(std::string_view text, std::string& error);

    // The translation of the source text, or null when the catalogue has none.
    const std::string* find(std::string_view context, std::string_view source) const;
    // The form of a translation with plural forms for the number, or null.
    const std::string* findPlural(std::string_view context, std::string_view source, std::uint64_t n) const;

    // Every entry's context and source text, as the file has them.
    struct Key {
        std::string context;
        std::string source;
        std::string sourcePlural;
        bool operator<(const Key& other) const {
            return context != other.context ? context < other.context : source < other.source;
        }
    };
    const std::map<Key, std::vector<std::string>>& entries() const { return m_entries; }
    int pluralCount() const { return m_pluralCount; }

private:
    std::map<Key, std::vector<std::string>> m_entries;
    int m_pluralCount = 2;
    PluralRule m_plural = *PluralRule::parse("n != 1");
};

}  // namespace mirvane::texts
