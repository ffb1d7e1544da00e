// The one-line query, held against the definitions of its units worked out as fractions, and
// against the unit page's conversion where both convert the same value.

#include "calc/TvCalculate.h"
#include "calc/TvQuery.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace tv {
namespace {

const char* const kUnits =
    ">>\n長さ\n"
    "\"メートル [m]\",$i,$t,,\"meter metre\"\n"
    "\"キロメートル [km]\",$i*1000,$t/1000,\n"
    "\"センチメートル [cm]\",$i/100,$t*100,\n"
    "\"ミリメートル [mm]\",$i/1000,$t*1000,\n"
    "\"メガメートル [Mm]\",$i*1000000,$t/1000000,\n"
    "寸,$i/33,$t*33,,\"すん sun\"\n"
    "尺,$i*10/33,$t*33/10,,\"しゃく shaku syaku\"\n"
    "\"インチ [in]\",$i*0.0254,$t/0.0254,,\"inch inches\"\n"
    "\"フィート [ft]\",$i*0.3048,$t/0.3048,\"12 in\",\"foot feet\"\n"
    "\"ヤード [yd]\",$i*0.9144,$t/0.9144,,yard\n"
    "\"マイル [mi]\",$i*1609.344,$t/1609.344,,\"mile miles\"\n"
    "歩幅,$i*0.75,$t/0.75,,yd\n"
    "<<\n"
    ">>\n面積\n"
    "\"平方メートル [m2]\",$i,$t,,sqm\n"
    "平米,$i,$t,\n"
    "坪,$i*400/121,$t*121/400,\"6尺四方\",\"つぼ tsubo\"\n"
    "<<\n"
    ">>\n時間\n"
    "\"秒 [s]\",$i,$t,\n"
    "\"分 [min]\",$i*60,$t/60,\n"
    "\"時間 [h]\",$i*3600,$t/3600,\n"
    "<<\n"
    ">>\n角度\n"
    "\"ラジアン [rad]\",$i,$t,\n"
    "\"時角 [h]\",$i*3.14159265358979323846/12,$t*12/3.14159265358979323846,\n"
    "<<\n"
    ">>\n温度\n"
    "\"ケルビン [K]\",$i,$t,\n"
    "\"セルシウス度 [℃]\",$i+273.15,$t-273.15,,degC\n"
    "\"ファーレンハイト度 [°F]\",($i+459.67)*5/9,$t*9/5-459.67,,degF\n"
    "<<\n"
    ">>\n質量\n"
    "\"キログラム [kg]\",$i,$t,\n"
    "\"ポンド [lb]\",$i*0.45359237,$t/0.45359237,,\"pound pounds lbs\"\n"
    "<<\n"
    ">>\n体積\n"
    "\"立方メートル [m3]\",$i,$t,\n"
    "\"米液量オンス [fl oz(US)]\",$i*0.0000295735295625,"
    "$t/0.0000295735295625,\n"
    "<<\n"
    ">>\n燃費\n"
    "\"キロメートル毎リットル [km/L]\",$i,$t,\n"
    "\"リットル毎100キロメートル [L/100km]\",100/$i,100/$t,\n"
    "<<\n";

const char* const kPrefixes = "k,1000\nM,1E6\nm,0.001\nda,10\nd,0.1\n";

// An exact value: a fraction of two integers, or a constant of a definition.
struct TExact {
    long double Numerator;
    long double Denominator = 1.0L;
};

constexpr long double kPi = 3.14159265358979323846264338327950288L;

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(units_.LoadFromText(kUnits)) << units_.LastError().Reason;
        ASSERT_TRUE(prefixes_.LoadFromText(kPrefixes));
        names_ = std::make_unique<TUnitSearch>(units_);
    }

    TQueryData Data() const { return {units_, *names_, prefixes_}; }

    TQueryParse Parse(const std::string& text) const { return ParseQuery(text, Data()); }

    // The query's one result line; fails the test for anything else.
    TQueryLine Line(const std::string& text, int showAns = 0, int showExp = 0) const {
        const TQueryParse parse = Parse(text);
        EXPECT_EQ(parse.Kind, TQueryKind::Query) << parse.Problem.Message;
        if (parse.Kind != TQueryKind::Query) {
            return {};
        }
        const std::vector<TQueryLine> lines = ConvertQuery(parse.Query, Data(), showAns, showExp);
        EXPECT_EQ(lines.size(), 1U);
        return lines.empty() ? TQueryLine{} : lines.front();
    }

    int32_t Position(int32_t group, const std::string& name) const {
        const std::vector<std::string> names = units_.GroupUnitNames(group);
        for (size_t p = 0; p < names.size(); ++p) {
            if (names[p] == name) {
                return static_cast<int32_t>(p);
            }
        }
        ADD_FAILURE() << "no unit " << name;
        return -1;
    }

    std::vector<std::string> Names(const std::vector<TUnitHit>& hits) const {
        std::vector<std::string> names;
        for (const TUnitHit& hit : hits) {
            names.emplace_back(names_->UnitName(hit));
        }
        return names;
    }

    TUnits units_;
    TPrefixes prefixes_;
    std::unique_ptr<TUnitSearch> names_;
};

void ExpectNear(const std::string& text, const TExact& exact) {
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    const long double expected = exact.Numerator / exact.Denominator;
    EXPECT_LE(std::fabs(value - expected), 1E-15L * std::max(1.0L, std::fabs(expected)))
        << text << " against " << static_cast<double>(expected);
}

TEST_F(QueryTest, ConvertsAsTheDefinitionsSay) {
    struct TPart {
        TExact Value;
        const char* Unit;
    };
    struct TRow {
        const char* name;
        std::string query;
        std::vector<TPart> parts; // one for a target, more for a mixed target
    };
    const std::vector<TRow> rows = {
        {"to", "5 ft to m", {{{1524, 1000}, "メートル [m]"}}},
        {"in between two units", "5 ft in m", {{{1524, 1000}, "メートル [m]"}}},
        {"as", "5 ft as m", {{{1524, 1000}, "メートル [m]"}}},
        {"into", "5 ft into cm", {{{1524, 10}, "センチメートル [cm]"}}},
        {"->", "5 ft -> m", {{{1524, 1000}, "メートル [m]"}}},
        {"→", "5 ft→m", {{{1524, 1000}, "メートル [m]"}}},
        {">", "5 ft > m", {{{1524, 1000}, "メートル [m]"}}},
        {"=", "5 ft = m", {{{1524, 1000}, "メートル [m]"}}},
        {"no keyword", "5ft m", {{{1524, 1000}, "メートル [m]"}}},
        {"を … に", "5尺3寸をcmに", {{{5300, 33}, "センチメートル [cm]"}}},
        {"を without に", "1坪を m2", {{{400, 121}, "平方メートル [m2]"}}},
        {"は 何", "100坪は何平米", {{{40000, 121}, "平米"}}},
        {"は", "1 kg は lb", {{{100000000, 45359237}, "ポンド [lb]"}}},
        {"in after a number is the inch",
         "5 ft 3 in to cm",
         {{{16002, 100}, "センチメートル [cm]"}}},
        {"the inch, then the keyword", "3 in in cm", {{{762, 100}, "センチメートル [cm]"}}},
        {"a sum", "3 mi + 200 yd to m", {{{5010912, 1000}, "メートル [m]"}}},
        {"a difference", "3 mi - 200 yd to m", {{{4645152, 1000}, "メートル [m]"}}},
        {"juxtaposed units", "1 h 30 min to min", {{{90}, "分 [min]"}}},
        {"an expression", "(1+2) 尺 to m", {{{10, 11}, "メートル [m]"}}},
        {"a prefix on the number", "2k m to km", {{{2}, "キロメートル [km]"}}},
        {"a unit with a prefix's letter", "2 km to m", {{{2000}, "メートル [m]"}}},
        {"a prefix, then a unit without a blank",
         "2kmi to km",
         {{{3218688, 1000}, "キロメートル [km]"}}},
        {"full-width", "５ ｆｔ ｔｏ ｍ", {{{1524, 1000}, "メートル [m]"}}},
        {"an alias in hiragana", "3 すん to 尺", {{{3, 10}, "尺"}}},
        {"an alias in romaji", "1 tsubo to 平米", {{{400, 121}, "平米"}}},
        {"an English alias", "2 pounds to kg", {{{90718474, 100000000}, "キログラム [kg]"}}},
        {"an alias written with a blank", "1 sq m to 坪", {{{121, 400}, "坪"}}},
        {"a symbol holding a blank",
         "2 fl oz(US) to m3",
         {{{591470591250, 10000000000000000}, "立方メートル [m3]"}}},
        {"a symbol before an alias", "1 yd to m", {{{9144, 10000}, "メートル [m]"}}},
        {"case as written", "5 Mm to km", {{{5000}, "キロメートル [km]"}}},
        {"ASCII case ignored", "5 FT to M", {{{1524, 1000}, "メートル [m]"}}},
        {"a shared symbol taken in the group of the other unit", "2 h to s", {{{7200}, "秒 [s]"}}},
        {"the same symbol in another group", "12 h to rad", {{{kPi}, "ラジアン [rad]"}}},
        {"a temperature", "98.6 °F to °C", {{{37}, "セルシウス度 [℃]"}}},
        {"a temperature by its compatibility sign", "-40 ℉ to ℃", {{{-40}, "セルシウス度 [℃]"}}},
        {"a temperature by an alias", "300 K to degC", {{{2685, 100}, "セルシウス度 [℃]"}}},
        {"a reciprocal unit alone",
         "20 km/L to L/100km",
         {{{5}, "リットル毎100キロメートル [L/100km]"}}},
        {"mixed", "1.6 m を 尺;寸", {{{5}, "尺"}, {{28, 10}, "寸"}}},
        {"mixed, a rest of nothing",
         "1 mi to ft;in",
         {{{5280}, "フィート [ft]"}, {{0}, "インチ [in]"}}},
        {"mixed with a rest",
         "2 m to ft ; in",
         {{{6}, "フィート [ft]"}, {{1712, 254}, "インチ [in]"}}},
        {"mixed, negative", "-1.6 m to 尺;寸", {{{-5}, "尺"}, {{-28, 10}, "寸"}}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TQueryParse parse = Parse(row.query);
        ASSERT_EQ(parse.Kind, TQueryKind::Query) << parse.Problem.Message;
        EXPECT_TRUE(parse.IsWholeQuery());
        ASSERT_EQ(parse.Query.Targets.size(), row.parts.size());
        const std::vector<TQueryLine> lines = ConvertQuery(parse.Query, Data(), 0, 0);
        ASSERT_EQ(lines.size(), 1U);
        if (row.parts.size() == 1) {
            ExpectNear(lines[0].Output, row.parts[0].Value);
            EXPECT_EQ(parse.Query.Targets[0].Entry.Name, row.parts[0].Unit);
            continue;
        }
        // A mixed output is "value [unit]" for each unit, one blank between.
        std::string_view output = lines[0].Output;
        for (size_t k = 0; k < row.parts.size(); ++k) {
            const std::string named = std::string(" [") + row.parts[k].Unit + "]";
            const size_t at = output.find(named);
            ASSERT_NE(at, std::string_view::npos) << lines[0].Output;
            const std::string value(output.substr(0, at));
            if (k + 1 < row.parts.size()) {
                EXPECT_EQ(value.find('.'), std::string::npos) << "a whole number: " << value;
            }
            ExpectNear(value, row.parts[k].Value);
            output.remove_prefix(std::min(output.size(), at + named.size() + 1));
        }
        EXPECT_TRUE(output.empty()) << lines[0].Output;
    }
}

TEST_F(QueryTest, FailuresNameTheText) {
    struct TRow {
        const char* name;
        std::string query;
        TQueryFault fault;
        std::string text;
        std::string message;
        std::vector<std::string> units; // suggestions or candidates
    };
    const std::vector<TRow> rows = {
        {"an unknown unit, with suggestions",
         "5 feat to m",
         TQueryFault::UnknownUnit,
         "feat",
         "単位「feat」が見つかりません",
         {"フィート [ft]"}},
        {"an unknown target",
         "5 ft to metr",
         TQueryFault::UnknownUnit,
         "metr",
         "単位「metr」が見つかりません",
         {"メートル [m]"}},
        {"an unknown name in kana",
         "1 つぽ to m2",
         TQueryFault::UnknownUnit,
         "つぽ",
         "単位「つぽ」が見つかりません",
         {"坪"}},
        {"two groups",
         "5 kg to m",
         TQueryFault::TwoGroups,
         "m",
         "「kg」（質量）と「m」（長さ）は同じ集団の単位ではありません",
         {}},
        {"two groups in the source",
         "1 ft 2 kg",
         TQueryFault::TwoGroups,
         "kg",
         "「ft」（長さ）と「kg」（質量）は同じ集団の単位ではありません",
         {}},
        {"two groups with a shared symbol",
         "1 h to kg",
         TQueryFault::TwoGroups,
         "kg",
         "「h」（時間・角度）と「kg」（質量）は同じ集団の単位ではありません",
         {}},
        {"a symbol of two groups and nothing to choose by",
         "5 h",
         TQueryFault::Ambiguous,
         "h",
         "「h」がどの単位か決められません：時間 [h]（時間）、時角 [h]（角度）",
         {"時間 [h]", "時角 [h]"}},
        {"two units by case within a group",
         "5 MM to m",
         TQueryFault::Ambiguous,
         "MM",
         "「MM」がどの単位か決められません：ミリメートル [mm]（長さ）、メガメートル [Mm]（長さ）",
         {"ミリメートル [mm]", "メガメートル [Mm]"}},
        {"a keyword without a target",
         "5 ft to",
         TQueryFault::Malformed,
         "to",
         "「to」の後に変換先の単位がありません",
         {}},
        {"a value without a unit",
         "3 ft + 2 to m",
         TQueryFault::Malformed,
         "2",
         "「2」に単位がありません",
         {}},
        {"a sign without a value",
         "3 ft + to m",
         TQueryFault::Malformed,
         "+",
         "「+」の後に値がありません",
         {}},
        {"a value that does not read",
         "(1+2 ft to m",
         TQueryFault::Malformed,
         "(1+2",
         "「(1+2」は値として読めません",
         {}},
        {"two units as the target",
         "5 ft to m cm",
         TQueryFault::Malformed,
         "cm",
         "変換先の「cm」を読めません",
         {}},
        {"a separator ending the target",
         "5 ft to m;",
         TQueryFault::Malformed,
         ";",
         "変換先の「;」を読めません",
         {}},
        {"に without を", "5 ft に m", TQueryFault::Malformed, "に", "「に」を読めません", {}},
        {"an offset unit in a sum",
         "1 ℃ + 1 K to K",
         TQueryFault::NotAdditive,
         "℃",
         "「℃」はオフセットか逆数の式を持つ単位なので、足し合わせられません（1 つの値と 1 "
         "つの単位でだけ変換できます）",
         {}},
        {"a reciprocal unit in a sum",
         "5 L/100km + 1 km/L to km/L",
         TQueryFault::NotAdditive,
         "L/100km",
         "「L/100km」はオフセットか逆数の式を持つ単位なので、足し合わせられません（1 つの値と "
         "1 つの単位でだけ変換できます）",
         {}},
        {"an offset unit in a mixed target",
         "300 K to ℃;K",
         TQueryFault::NotAdditive,
         "℃",
         "「℃」はオフセットか逆数の式を持つ単位なので、組み合わせた変換先には使えません",
         {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TQueryParse parse = Parse(row.query);
        ASSERT_EQ(parse.Kind, TQueryKind::Failed);
        EXPECT_FALSE(parse.IsWholeQuery());
        EXPECT_EQ(parse.Problem.Fault, row.fault);
        EXPECT_EQ(parse.Problem.Text, row.text);
        EXPECT_EQ(parse.Problem.Message, row.message);
        EXPECT_EQ(Names(parse.Problem.Units), row.units);
        try {
            ResolveQuery(row.query, Data());
            ADD_FAILURE() << "no failure";
        } catch (const EQueryError& e) {
            EXPECT_EQ(e.what(), row.message);
            EXPECT_EQ(e.Problem().Fault, row.fault);
        }
    }
}

TEST_F(QueryTest, WordsAndBareNumbersAreNoQuery) {
    for (const std::string text :
         {"", "   ", "5", "3+4*2", "2k", "hello", "meter", "坪", "ft to m", "feat 5", "5 to 3"}) {
        SCOPED_TRACE(text);
        const TQueryParse parse = Parse(text);
        EXPECT_EQ(parse.Kind, TQueryKind::NotAQuery);
        EXPECT_FALSE(parse.IsWholeQuery());
    }
    try {
        ResolveQuery(" hello ", Data());
        ADD_FAILURE() << "no failure";
    } catch (const EQueryError& e) {
        EXPECT_STREQ(e.what(), "「hello」は単位変換の式ではありません");
        EXPECT_EQ(e.Problem().Fault, TQueryFault::Malformed);
    }
    // A value and a unit without a target is a query, but not a whole one.
    const TQueryParse shaku = Parse("5尺");
    EXPECT_EQ(shaku.Kind, TQueryKind::Query);
    EXPECT_FALSE(shaku.IsWholeQuery());
}

TEST_F(QueryTest, ReportsAsTheUnitPageDoes) {
    struct TRow {
        const char* name;
        std::string query;
        int showAns;
        std::string output;
        std::string report;
        std::string formula;
    };
    const std::vector<TRow> rows = {
        {"one value", "5 ft to m", 0, "1.524", "5 [フィート [ft]] => 1.524 [メートル [m]]",
         "\tResult = (5*0.3048)"},
        {"a sum", "3 mi + 200 yd to m", 0, "5010.912",
         "3 [マイル [mi]] + 200 [ヤード [yd]] => 5010.912 [メートル [m]]",
         "\tResult = ((3*1609.344)+(200*0.9144))"},
        {"three terms", "1 h 30 min - 60 s to s", 0, "5340",
         "1 [時間 [h]] 30 [分 [min]] - 60 [秒 [s]] => 5340 [秒 [s]]",
         "\tResult = (((1*3600)+(30*60))-(60))"},
        {"mixed", "1.6 m を 尺;寸", 0, "5 [尺] 2.8 [寸]", "1.6 [メートル [m]] => 5 [尺] 2.8 [寸]",
         "\tResult = (1.6)*33/10; (0.28*10/33)*33"},
        {"digit grouping", "2000 km to m", 2, "2,000,000",
         "2000 [キロメートル [km]] => 2,000,000 [メートル [m]]", "\tResult = (2000*1000)"},
        {"digit grouping of a mixed target", "2000 mi to ft;in", 2,
         "10,560,000 [フィート [ft]] 0 [インチ [in]]",
         "2000 [マイル [mi]] => 10,560,000 [フィート [ft]] 0 [インチ [in]]",
         "\tResult = (2000*1609.344)/0.3048; (0*0.3048)/0.0254"},
        {"exponent notation of a sum", "1 km 1 m to mm", 1, "1.00E+06",
         "1 [キロメートル [km]] 1 [メートル [m]] => 1.00E+06 [ミリメートル [mm]]",
         "\tResult = ((1*1000)+(1))*1000"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TQueryLine line = Line(row.query, row.showAns, 1);
        EXPECT_EQ(line.Output, row.output);
        EXPECT_EQ(line.ReportLine, row.report);
        EXPECT_EQ(line.FormulaLine, row.formula);
        EXPECT_EQ(Line(row.query, row.showAns, 0).FormulaLine, "");
    }
}

// One value with one unit gives the unit page's digits, in every display mode.
TEST_F(QueryTest, OneValueGivesTheUnitPagesDigits) {
    struct TRow {
        std::string value;
        std::string source;
        std::string target;
    };
    const std::vector<TRow> rows = {
        {"５", "尺", "寸"},  {"1/3", "ft", "m"},    {"2k", "m", "in"},
        {"98.6", "°F", "℃"}, {"-1E20", "mi", "尺"}, {"7", "ft", "ft"},
    };
    for (const TRow& row : rows) {
        for (int showAns = 0; showAns <= 2; ++showAns) {
            const std::string query = row.value + " " + row.source + " to " + row.target;
            SCOPED_TRACE(query + " mode " + std::to_string(showAns));
            const TQueryParse parse = Parse(query);
            ASSERT_EQ(parse.Kind, TQueryKind::Query) << parse.Problem.Message;
            TUnitConvRequest request;
            request.InputText = row.value;
            request.Source = parse.Query.Terms[0].Entry;
            request.Target = parse.Query.Targets[0].Entry;
            request.SameUnit = row.source == row.target;
            request.ShowAns = showAns;
            request.ShowExp = 1;
            const TUnitConvResult page = ConvertUnit(request, prefixes_);
            const TQueryLine line = Line(query, showAns, 1);
            EXPECT_EQ(line.Output, page.Output);
            EXPECT_EQ(line.ReportLine, page.ReportLine);
            EXPECT_EQ(line.FormulaLine, page.FormulaLine);
        }
    }
}

TEST_F(QueryTest, WithoutATargetEveryUnitOfTheGroup) {
    const int32_t length = 0;
    const std::vector<TUnitEntry> units = units_.GroupUnits(length);
    const TQueryParse one = Parse("5 ft");
    ASSERT_EQ(one.Kind, TQueryKind::Query);
    const std::vector<TQueryLine> lines = ConvertQuery(one.Query, Data(), 0, 1);
    ASSERT_EQ(lines.size(), units.size());
    // As the batch conversion gives them: the unit itself without a formula.
    const int32_t feet = Position(length, "フィート [ft]");
    for (size_t p = 0; p < units.size(); ++p) {
        SCOPED_TRACE(units[p].Name);
        TUnitConvRequest request;
        request.InputText = "5";
        request.Source = units[static_cast<size_t>(feet)];
        request.Target = units[p];
        request.SameUnit = static_cast<int32_t>(p) == feet;
        request.ShowExp = 1;
        const TUnitConvResult page = ConvertUnit(request, prefixes_);
        EXPECT_EQ(lines[p].ReportLine, page.ReportLine);
        EXPECT_EQ(lines[p].FormulaLine, page.FormulaLine);
    }

    const TQueryParse sum = Parse("1 ft 6 in");
    ASSERT_EQ(sum.Kind, TQueryKind::Query);
    const std::vector<TQueryLine> sums = ConvertQuery(sum.Query, Data(), 0, 0);
    ASSERT_EQ(sums.size(), units.size());
    ExpectNear(sums[static_cast<size_t>(Position(length, "メートル [m]"))].Output, {4572, 10000});
    EXPECT_EQ(sums[static_cast<size_t>(Position(length, "インチ [in]"))].ReportLine,
              "1 [フィート [ft]] 6 [インチ [in]] => 18 [インチ [in]]");
}

TEST_F(QueryTest, PageShowsTheQueryInOneSourceUnit) {
    struct TRow {
        const char* name;
        std::string query;
        std::string source;
        std::string target;
        std::string input;
    };
    const std::vector<TRow> rows = {
        {"one value as typed", "2k ft to m", "フィート [ft]", "メートル [m]", "2k"},
        {"a sum in the unit of its last term", "5尺3寸をcmに", "寸", "センチメートル [cm]", "53"},
        {"a mixed target by its first unit", "1.6 m を 尺;寸", "メートル [m]", "尺", "1.6"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TQuery query = ResolveQuery(row.query, Data());
        const TQueryPage page = QueryPage(query, Data());
        EXPECT_EQ(page.Group, 0);
        EXPECT_EQ(page.Source, Position(0, row.source));
        EXPECT_EQ(page.Target, Position(0, row.target));
        EXPECT_EQ(page.InputText, row.input);
    }
    EXPECT_THROW(QueryPage(ResolveQuery("5 ft", Data()), Data()), std::invalid_argument);
}

TEST_F(QueryTest, ConversionFailuresAreTheFailureKinds) {
    EXPECT_THROW(ConvertQuery(ResolveQuery("1/0 ft to m", Data()), Data(), 0, 0), EZeroDivide);
    EXPECT_THROW(ConvertQuery(ResolveQuery("1E4932 m + 1E4932 m to m", Data()), Data(), 0, 0),
                 EOverflow);
    EXPECT_THROW(ConvertQuery(ResolveQuery("0 km/L to L/100km", Data()), Data(), 0, 0),
                 EZeroDivide);
}

TEST_F(QueryTest, PrefixesOffLeaveOnlyUnits) {
    TPrefixes off;
    const TQueryData data{units_, *names_, off};
    const TQueryParse parse = ParseQuery("2k m", data);
    ASSERT_EQ(parse.Kind, TQueryKind::Failed);
    // Without prefixes "k" reads as the kelvin, which is no length.
    EXPECT_EQ(parse.Problem.Fault, TQueryFault::TwoGroups);
    EXPECT_EQ(ParseQuery("2 km to m", data).Kind, TQueryKind::Query);
}

} // namespace
} // namespace tv
