// The catalogues against the texts the program uses, the language's choice,
// and the reading of PO files and plural rules.

#include "engine/texts/texts.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/texts/catalogue.h"

namespace mirvane::texts {
namespace {

// The "{name}" placeholders of a text.
std::multiset<std::string> placeholders(std::string_view text) {
    std::multiset<std::string> names;
    for (std::size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos) break;
        names.insert(std::string(text.substr(open + 1, close - open - 1)));
    }
    return names;
}

// Sets the language for one test and gives the tests after it Japanese back.
class InLanguage {
public:
    explicit InLanguage(std::string_view tag) { useLanguage(tag); }
    ~InLanguage() { useLanguage("ja"); }
};

Catalogue builtIn(std::string_view name) {
    for (const BuiltInCatalogue& catalogue : builtInCatalogues()) {
        if (catalogue.name != name) continue;
        std::string error;
        std::optional<Catalogue> read = Catalogue::parse(catalogue.text, error);
        if (!read) ADD_FAILURE() << name << ".po: " << error;
        return read.value_or(Catalogue{});
    }
    ADD_FAILURE() << name << ".po is not built in";
    return {};
}

// Every text the program uses, in English (its source) and in every built-in
// catalogue: there, not empty, with the same placeholders; and no entry of a
// catalogue that the program no longer uses.
TEST(Texts, EveryTextIsInEveryLanguageWithItsPlaceholders) {
    ASSERT_FALSE(builtInCatalogues().empty());
    std::vector<std::string> names;
    for (const BuiltInCatalogue& catalogue : builtInCatalogues()) names.push_back(catalogue.name);
    EXPECT_NE(std::find(names.begin(), names.end(), "ja"), names.end());
    for (const std::string& name : names) {
        SCOPED_TRACE(name + ".po");
        const Catalogue catalogue = builtIn(name);
        std::set<std::pair<std::string, std::string>> used;
        for (const Text* text : allTexts()) {
            SCOPED_TRACE(text->source());
            used.insert({text->context(), text->source()});
            EXPECT_FALSE(std::string_view(text->source()).empty());
            const std::string* translated = catalogue.find(text->context(), text->source());
            ASSERT_NE(translated, nullptr) << "missing";
            EXPECT_FALSE(translated->empty());
            EXPECT_EQ(placeholders(*translated), placeholders(text->source()));
        }
        for (const PluralText* text : allPluralTexts()) {
            SCOPED_TRACE(text->singular());
            used.insert({"", text->singular()});
            EXPECT_EQ(placeholders(text->plural()), placeholders(text->singular()));
            const auto entry = catalogue.entries().find({"", text->singular(), {}});
            ASSERT_NE(entry, catalogue.entries().end()) << "missing";
            EXPECT_EQ(entry->first.sourcePlural, text->plural());
            ASSERT_EQ(entry->second.size(), static_cast<std::size_t>(catalogue.pluralCount()));
            for (const std::string& form : entry->second) {
                EXPECT_FALSE(form.empty());
                EXPECT_EQ(placeholders(form), placeholders(text->singular()));
            }
        }
        for (const auto& [key, forms] : catalogue.entries())
            EXPECT_TRUE(used.contains({key.context, key.source})) << "not used: " << key.source;
    }
}

TEST(Texts, TheLanguageIsChosenByLanguageThenCountry) {
    const struct {
        const char* tag;
        const char* chosen;
    } cases[] = {
        {"ja", "ja"},       {"ja_JP.UTF-8", "ja"},
        {"ja-JP", "ja"},    {"ja_JP.eucJP@variant", "ja"},
        {"en", "en"},       {"en_US.UTF-8", "en"},
        {"de_DE", "en"},    {"C", "en"},
        {"POSIX", "en"},    {"", "en"},
        {"japanese", "en"}, {"C.UTF-8", "en"},
    };
    for (const auto& row : cases) {
        InLanguage language(row.tag);
        EXPECT_EQ(texts::language(), row.chosen) << row.tag;
    }
}

TEST(Texts, EnglishReadsTheSourceWithItsPluralForms) {
    InLanguage english("en_GB.UTF-8");
    EXPECT_STREQ(kCaptionStart, "Start");
    EXPECT_EQ(std::string(kStatusError), "Error");
    EXPECT_EQ(encoderMissing(PathStyle::Windows), "ffmpeg.exe is missing.");
    EXPECT_EQ(filesAddedSaying(1), "1 file added");
    EXPECT_EQ(filesAddedSaying(2), "2 files added");
    EXPECT_EQ(batchEndSaying(true, 1, 0), "Conversion stopped. 1 file converted, 0 errors");
    EXPECT_EQ(rowEndSaying("a.avi", kStatusError, "why"), "a.avi Error: why");
    EXPECT_EQ(folderFilesCut(100000),
              "The folders hold too many files: only the first 100,000 files were added.");
    EXPECT_EQ(filesWritten(12), "12 files");
}

TEST(Texts, JapaneseHasOneFormForEveryNumber) {
    InLanguage japanese("ja_JP.UTF-8");
    for (const std::size_t n : {0u, 1u, 2u, 21u})
        EXPECT_EQ(filesAddedSaying(n), std::to_string(n) + "件のファイルを追加しました");
    EXPECT_EQ(filesWritten(1), "1 ファイル");
    EXPECT_EQ(errorWithReason("why"), "エラー: why");
}

TEST(Texts, FillPutsEachValueInItsPlace) {
    EXPECT_EQ(fill("{b} and {a}", {{"a", "1"}, {"b", "2"}}), "2 and 1");
    EXPECT_EQ(fill("{a}{a} {unknown} {", {{"a", "x"}}), "xx {unknown} {");
    EXPECT_EQ(fill("{a}", {{"a", "{a}"}}), "{a}");
}

TEST(PluralRule, EvaluatesCExpressionsAsGettextDoes) {
    const char* const slavic =
        "(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2)";
    const struct {
        const char* rule;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> forms;  // n, form
    } cases[] = {
        {"0", {{0, 0}, {1, 0}, {7, 0}}},
        {"n != 1;", {{0, 1}, {1, 0}, {2, 1}}},
        {"n>1", {{0, 0}, {1, 0}, {2, 1}}},
        {slavic, {{1, 0}, {11, 2}, {21, 0}, {3, 1}, {13, 2}, {24, 1}, {5, 2}, {111, 2}}},
        {"n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5",
         {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {11, 4}, {100, 5}, {102, 5}, {199, 4}}},
        {"!(n % 2) + 2 * 3 - 6 / 2 - n / 0", {{4, 4}, {3, 3}}},
    };
    for (const auto& row : cases) {
        const std::optional<PluralRule> rule = PluralRule::parse(row.rule);
        ASSERT_TRUE(rule) << row.rule;
        for (const auto& [n, form] : row.forms) EXPECT_EQ(rule->formFor(n), form) << row.rule << " n=" << n;
    }
    for (const char* bad : {"", "n +", "(n", "n)", "x", "n ? 1", "n == = 1", "1 2"})
        EXPECT_FALSE(PluralRule::parse(bad)) << bad;
    EXPECT_FALSE(PluralRule::parse(std::string(500, '(') + "n" + std::string(500, ')')));
}

// A third language is a PO file as any translator's tool writes it.
TEST(Catalogue, ReadsWhatTranslatorsToolsWrite) {
    const char* const po =
        "\xEF\xBB\xBF# translator's comment\n"
        "msgid \"\"\n"
        "msgstr \"\"\n"
        "\"Language: ru\\n\"\n"
        "\"Plural-Forms: nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && \"\n"
        "\"(n%100<10 || n%100>=20) ? 1 : 2);\\n\"\n"
        "\n"
        "#. extracted comment\n"
        "#: src/engine/texts/texts.h:1\n"
        "msgctxt \"status\"\n"
        "msgid \"Error\"\n"
        "msgstr \"Ошибка\"\n"
        "\n"
        "msgid \"\"\n"
        "\"Two \"\n"
        "\"lines\"\n"
        "msgstr \"\\\"quoted\\\"\\tand\\\\\\n\"\r\n"
        "\n"
        "#, fuzzy\n"
        "msgid \"Start\"\n"
        "msgstr \"guessed\"\n"
        "\n"
        "msgid \"Stop\"\n"
        "msgstr \"\"\n"
        "\n"
        "msgid \"{count} file\"\n"
        "msgid_plural \"{count} files\"\n"
        "msgstr[0] \"{count} файл\"\n"
        "msgstr[1] \"{count} файла\"\n"
        "msgstr[2] \"{count} файлов\"\n"
        "\n"
        "#~ msgid \"Gone\"\n"
        "#~ msgstr \"old\"\n";
    std::string error;
    const std::optional<Catalogue> catalogue = Catalogue::parse(po, error);
    ASSERT_TRUE(catalogue) << error;
    EXPECT_EQ(catalogue->pluralCount(), 3);
    ASSERT_NE(catalogue->find("status", "Error"), nullptr);
    EXPECT_EQ(*catalogue->find("status", "Error"), "Ошибка");
    EXPECT_EQ(catalogue->find("", "Error"), nullptr);
    ASSERT_NE(catalogue->find("", "Two lines"), nullptr);
    EXPECT_EQ(*catalogue->find("", "Two lines"), "\"quoted\"\tand\\\n");
    EXPECT_EQ(catalogue->find("", "Start"), nullptr);  // fuzzy
    EXPECT_EQ(catalogue->find("", "Stop"), nullptr);   // untranslated
    EXPECT_EQ(catalogue->find("", "Gone"), nullptr);   // obsolete
    EXPECT_EQ(catalogue->entries().size(), 3u);
    for (const auto& [n, form] : std::vector<std::pair<int, const char*>>{
             {1, "{count} файл"}, {3, "{count} файла"}, {5, "{count} файлов"}, {21, "{count} файл"}}) {
        ASSERT_NE(catalogue->findPlural("", "{count} file", n), nullptr);
        EXPECT_EQ(*catalogue->findPlural("", "{count} file", n), form) << n;
    }
}

TEST(Catalogue, RefusesWhatIsNoPoFileAndSaysWhere) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"msgstr \"x\"\n", "line 1: msgstr without msgid"},
        {"msgid \"a\"\nmsgid \"b\"\nmsgstr \"c\"\n", "line 2: an entry without msgstr"},
        {"msgid \"a\"\nmsgstr \"bad \\q escape\"\n", "line 2: a keyword without a quoted string"},
        {"msgid \"a\"\nmsgstr unquoted\n", "line 2: a keyword without a quoted string"},
        {"\"stray\"\n", "line 1: a string that continues nothing, or is malformed"},
        {"msgid \"a\"\nmsgstr[0] \"b\"\n", "line 2: msgstr and msgid_plural disagree"},
        {"msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[1] \"b\"\n", "line 3: msgstr forms out of order"},
        {"msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"b\"\n",
         "line 3: \"a\" has not as many forms as nplurals"},
        {"msgid \"\"\nmsgstr \"Plural-Forms: nplurals=2; plural=n !;\\n\"\n\n",
         "line 3: the Plural-Forms header is not understood"},
        {"msgid \"a\"\n", "line 1: an entry without msgstr"},
        {"msgfoo \"a\"\n", "line 1: an unknown keyword"},
    };
    for (const auto& row : cases) {
        std::string error;
        EXPECT_FALSE(Catalogue::parse(row.text, error)) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
}

}  // namespace
}  // namespace mirvane::texts
