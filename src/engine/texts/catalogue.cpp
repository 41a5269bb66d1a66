// A PO catalogue read line by line, and its plural rule as a small tree.

#include "engine/texts/catalogue.h"

#include <cctype>
#include <charconv>

namespace mirvane::texts {

// Recursive descent over the expression, lowest precedence first.
class PluralParser {
public:
    PluralParser(std::string_view text, PluralRule& rule) : m_text(text), m_rule(rule) {}

    bool parse() {
        m_rule.m_root = choice();
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ';') ++m_pos;
        skipSpace();
        return m_rule.m_root >= 0 && m_pos == m_text.size();
    }

private:
    using Node = PluralRule::Node;

    void skipSpace() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
    }
    bool take(std::string_view token) {
        skipSpace();
        if (!m_text.substr(m_pos).starts_with(token)) return false;
        m_pos += token.size();
        return true;
    }
    int add(Node node) {
        if (node.kind != Node::Number && node.kind != Node::N &&
            (node.a < 0 || (node.kind != Node::Not && node.b < 0)))
            return -1;
        if (node.kind == Node::Choice && node.c < 0) return -1;
        m_rule.m_nodes.push_back(node);
        return static_cast<int>(m_rule.m_nodes.size()) - 1;
    }
    int choice() {
        const int test = orExpression();
        if (test < 0 || !take("?")) return test;
        const int then = choice();
        if (!take(":")) return -1;
        return add({Node::Choice, 0, 0, test, then, choice()});
    }
    int orExpression() {
        int left = andExpression();
        while (left >= 0 && take("||")) left = add({Node::Binary, '|', 0, left, andExpression()});
        return left;
    }
    int andExpression() {
        int left = equality();
        while (left >= 0 && take("&&")) left = add({Node::Binary, '&', 0, left, equality()});
        return left;
    }
    int equality() {
        int left = relation();
        while (left >= 0) {
            if (take("=="))
                left = add({Node::Binary, '=', 0, left, relation()});
            else if (take("!="))
                left = add({Node::Binary, '!', 0, left, relation()});
            else
                break;
        }
        return left;
    }
    int relation() {
        int left = sum();
        while (left >= 0) {
            if (take("<="))
                left = add({Node::Binary, 'l', 0, left, sum()});
            else if (take(">="))
                left = add({Node::Binary, 'g', 0, left, sum()});
            else if (take("<"))
                left = add({Node::Binary, '<', 0, left, sum()});
            else if (take(">"))
                left = add({Node::Binary, '>', 0, left, sum()});
            else
                break;
        }
        return left;
    }
    int sum() {
        int left = product();
        while (left >= 0) {
            if (take("+"))
                left = add({Node::Binary, '+', 0, left, product()});
            else if (take("-"))
                left = add({Node::Binary, '-', 0, left, product()});
            else
                break;
        }
        return left;
    }
    int product() {
        int left = unary();
        while (left >= 0) {
            if (take("*"))
                left = add({Node::Binary, '*', 0, left, unary()});
            else if (take("/"))
                left = add({Node::Binary, '/', 0, left, unary()});
            else if (take("%"))
                left = add({Node::Binary, '%', 0, left, unary()});
            else
                break;
        }
        return left;
    }
    int unary() {
        // Deep nesting is no rule anyone writes; it is refused before it can
        // exhaust the stack.
        if (++m_depth > 100) return -1;
        int node = -1;
        if (take("!")) {
            node = add({Node::Not, 0, 0, unary()});
        } else if (take("(")) {
            node = choice();
            if (!take(")")) node = -1;
        } else if (take("n")) {
            node = add({Node::N});
        } else {
            skipSpace();
            std::uint64_t value = 0;
            const auto [end, fault] =
                std::from_chars(m_text.data() + m_pos, m_text.data() + m_text.size(), value);
            if (fault == std::errc() && end != m_text.data() + m_pos) {
                m_pos = static_cast<std::size_t>(end - m_text.data());
                node = add({Node::Number, 0, value});
            }
        }
        --m_depth;
        return node;
    }

    std::string_view m_text;
    PluralRule& m_rule;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

std::optional<PluralRule> PluralRule::parse(std::string_view expression) {
    PluralRule rule;
    if (!PluralParser(expression, rule).parse()) return std::nullopt;
    return rule;
}

std::uint64_t PluralRule::formFor(std::uint64_t n) const { return evaluate(m_root, n); }

std::uint64_t PluralRule::evaluate(int index, std::uint64_t n) const {
    const Node& node = m_nodes[static_cast<std::size_t>(index)];
    switch (node.kind) {
        case Node::Number:
            return node.value;
        case Node::N:
            return n;
        case Node::Not:
            return evaluate(node.a, n) == 0;
        case Node::Choice:
            return evaluate(node.a, n) != 0 ? evaluate(node.b, n) : evaluate(node.c, n);
        case Node::Binary:
            break;
    }
    const std::uint64_t left = evaluate(node.a, n);
    if (node.op == '|' && left != 0) return 1;
    if (node.op == '&' && left == 0) return 0;
    const std::uint64_t right = evaluate(node.b, n);
    switch (node.op) {
        case '|':
        case '&':
            return right != 0;
        case '=':
            return left == right;
        case '!':
            return left != right;
        case '<':
            return left < right;
        case '>':
            return left > right;
        case 'l':
            return left <= right;
        case 'g':
            return left >= right;
        case '+':
            return left + right;
        case '-':
            return left - right;
        case '*':
            return left * right;
        case '/':
            return right == 0 ? 0 : left / right;
        default:
            return right == 0 ? 0 : left % right;
    }
}

namespace {

// One quoted string of a PO line, its escapes undone; nothing when malformed.
std::optional<std::string> quoted(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
    text = text.substr(1, text.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') return std::nullopt;
        if (text[i] != '\\') {
            value += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case 'n':
                value += '\n';
                break;
            case 't':
                value += '\t';
                break;
            case 'r':
                value += '\r';
                break;
            case '"':
            case '\\':
                value += text[i];
                break;
            default:
                return std::nullopt;
        }
    }
    return value;
}

// The header's Plural-Forms field: its count and its rule.
bool readPluralForms(std::string_view header, int& count, std::optional<PluralRule>& rule) {
    const std::size_t field = header.find("Plural-Forms:");
    if (field == std::string_view::npos) return true;
    std::string_view value = header.substr(field + 13);
    value = value.substr(0, value.find('\n'));
    const std::size_t counted = value.find("nplurals=");
    const std::size_t expression = value.find("plural=", counted == std::string_view::npos ? 0 : counted + 9);
    if (counted == std::string_view::npos || expression == std::string_view::npos) return false;
    const char* digits = value.data() + counted + 9;
    const auto [end, fault] = std::from_chars(digits, value.data() + value.size(), count);
    if (fault != std::errc() || end == digits || count < 1 || count > 6) return false;
    rule = PluralRule::parse(value.substr(expression + 7));
    return rule.has_value();
}

}  // namespace

std::optional<Catalogue> Catalogue::parse(std::string_view text, std::string& error) {
    Catalogue catalogue;
    struct Entry {
        std::string context, source, plural;
        std::vector<std::string> forms;
        bool hasContext = false, hasSource = false, fuzzy = false;
    } entry;
    std::string* last = nullptr;  // the string a continuation line adds to
    std::optional<PluralRule> rule;
    int lineNumber = 0;
    auto fault = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return std::nullopt;
    };
    // Ends the entry read so far, if it is whole: a header sets the plural
    // rule, a translation joins the catalogue.
    auto finish = [&]() -> bool {
        if (entry.forms.empty()) return true;
        if (entry.source.empty() && !entry.hasContext) {
            if (!readPluralForms(entry.forms[0], catalogue.m_pluralCount, rule)) return false;
        } else {
            bool complete = true;
            for (const std::string& form : entry.forms) complete = complete && !form.empty();
            if (complete && !entry.fuzzy)
                catalogue.m_entries[{entry.context, entry.source, entry.plural}] = std::move(entry.forms);
        }
        entry = {};
        last = nullptr;
        return true;
    };
    const char* const kBadHeader = "the Plural-Forms header is not understood";
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty()) {
        ++lineNumber;
        std::string_view line = text.substr(0, text.find('\n'));
        text.remove_prefix(std::min(text.size(), line.size() + 1));
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line == "\r") continue;
        if (line.front() == '#') {
            if (!finish()) return fault(kBadHeader);
            if (line.starts_with("#,") && line.find("fuzzy") != std::string_view::npos) entry.fuzzy = true;
            continue;
        }
        if (line.front() == '"') {
            const std::optional<std::string> more = quoted(line);
            if (!last || !more) return fault("a string that continues nothing, or is malformed");
            *last += *more;
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string_view keyword = line.substr(0, space);
        const std::optional<std::string> value =
            space == std::string_view::npos ? std::nullopt : quoted(line.substr(space + 1));
        if (!value) return fault("a keyword without a quoted string");
        if (keyword == "msgctxt" || keyword == "msgid") {
            if (!finish()) return fault(kBadHeader);
            if (entry.hasSource || (keyword == "msgctxt" && entry.hasContext))
                return fault("an entry without msgstr");
        }
        if (keyword == "msgctxt") {
            entry.context = *value;
            entry.hasContext = true;
            last = &entry.context;
        } else if (keyword == "msgid") {
            entry.source = *value;
            entry.hasSource = true;
            last = &entry.source;
        } else if (keyword == "msgid_plural") {
            if (!entry.hasSource || !entry.forms.empty()) return fault("msgid_plural out of place");
            entry.plural = *value;
            last = &entry.plural;
        } else if (keyword == "msgstr" || keyword.starts_with("msgstr[")) {
            if (!entry.hasSource) return fault("msgstr without msgid");
            const bool plural = keyword != "msgstr";
            const std::size_t index =
                plural && keyword.size() > 7 ? static_cast<std::size_t>(keyword[7] - '0') : 0;
            if (plural && keyword != "msgstr[" + std::to_string(index) + "]")
                return fault("an unknown keyword");
            if (index != entry.forms.size()) return fault("msgstr forms out of order");
            if (plural == entry.plural.empty()) return fault("msgstr and msgid_plural disagree");
            entry.forms.push_back(*value);
            last = &entry.forms.back();
        } else {
            return fault("an unknown keyword");
        }
    }
    if (!finish()) return fault(kBadHeader);
    if (entry.hasSource || entry.hasContext) return fault("an entry without msgstr");
    if (rule) catalogue.m_plural = *rule;
    for (const auto& [key, forms] : catalogue.m_entries)
        if (!key.sourcePlural.empty() && forms.size() != static_cast<std::size_t>(catalogue.m_pluralCount))
            return fault("\"" + key.source + "\" has not as many forms as nplurals");
    return catalogue;
}

const std::string* Catalogue::find(std::string_view context, std::string_view source) const {
    const auto found = m_entries.find({std::string(context), std::string(source), {}});
    if (found == m_entries.end() || !found->first.sourcePlural.empty()) return nullptr;
    return &found->second.front();
}

const std::string* Catalogue::findPlural(std::string_view context, std::string_view source,
                                         std::uint64_t n) const {
    const auto found = m_entries.find({std::string(context), std::string(source), {}});
    if (found == m_entries.end() || found->first.sourcePlural.empty()) return nullptr;
    const std::uint64_t form = m_plural.formFor(n);
    return &found->second[form < found->second.size() ? form : 0];
}

}  // namespace mirvane::texts
