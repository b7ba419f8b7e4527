// The log reader, phase by phase, each with a table of lines; then the file as lines (line
// ends, byte-order mark, bounds). Whole files and their errors: tests/data/cli/adev.txt.
#include <gtest/gtest.h>

#include <fstream>

#include "LogTestSupport.h"
#include "analysis/LogInput.h"
#include "analysis/LogReader.h"

using namespace tavrin::analysis;
using tavrin::test::ScratchDir;

namespace {

// The status of a phase and its text ("" when it passed).
std::string Outcome(const LogProblem& p) {
    return p.ok() ? "" : std::to_string(static_cast<int>(p.status)) + " " + p.detail;
}
std::string S(LogStatus s, const std::string& detail) {
    return std::to_string(static_cast<int>(s)) + " " + detail;
}

TEST(ParseFormat, FirstLineDecidesHeaderTitlesOrSampleOne) {
    struct Row {
        std::string line;
        char sep;
        bool header, titles;
        std::string outcome;
    };
    const std::string notLog = "not a log file of this program (it starts with ";
    const Row rows[] = {
        {"File Name,DATALOG_1.csv", ',', true, false, ""},
        {"File Name\tDATALOG_1.txt", '\t', true, false, ""},
        {"Sample #,XgND,X Gryo,", ',', false, true, ""}, // kept "_incomplete" files
        {"1\t1\t0,25\t", '\t', false, false, ""},
        {"1,0.5,", ',', false, false, ""},
        {"2,0.5,", ',', false, false,
         S(LogStatus::NotALog,
           notLog + "\"2,0.5,\", not with \"File Name\", \"Sample #\" or sample 1)")},
        {std::string("\x1b[2J") + std::string(200, 'x'), ',', false, false,
         S(LogStatus::NotALog, notLog + "\"\\x1B[2J" + std::string(76, 'x') +
                                   "\u2026\", not with \"File Name\", \"Sample #\" or sample 1)")},
    };
    for (const auto& r : rows) {
        parse::Format f;
        EXPECT_EQ(Outcome(parse::DetectFormat(r.line, f)), r.outcome) << r.line;
        if (!r.outcome.empty()) continue;
        EXPECT_EQ(f.sep, r.sep) << r.line;
        EXPECT_EQ(f.header, r.header) << r.line;
        EXPECT_EQ(f.titlesFirst, r.titles) << r.line;
        EXPECT_EQ(f.commaDecimal, r.sep == '\t') << r.line;
    }
}

TEST(ParseHeader, SixTitledLinesTheElapsedTimeANumber) {
    struct Row {
        long long n;
        std::string line, outcome;
        double elapsed;
    };
    const Row rows[] = {
        {1, "File Name,D_1.csv", "", 0},
        {2, "Datum,1/1/2027", S(LogStatus::BadHeader, "header line \"Date\" expected"), 0},
        {4, "Begin Seconds", S(LogStatus::BadHeader, "header line \"Begin Seconds\" expected"), 0},
        {6, "Elapsed Seconds,7.5", "", 7.5},
        {6, "Elapsed Seconds,inf", S(LogStatus::BadHeader, "the elapsed time is not a number"), 0},
        {6, "Elapsed Seconds,1e400", S(LogStatus::BadHeader, "the elapsed time is not a number"),
         0},
        {7, " ", "", 0},
    };
    parse::Format f;
    f.header = true;
    for (const auto& r : rows) {
        double elapsed = 0;
        EXPECT_EQ(Outcome(parse::HeaderLine(r.n, r.line, f, elapsed)), r.outcome) << r.line;
        EXPECT_EQ(elapsed, r.elapsed) << r.line;
    }
}

TEST(ParseTitles, KnownTitlesWithTheirFlagsUnitsAndQuantities) {
    parse::Format f;
    parse::DataState st;
    ASSERT_EQ(Outcome(parse::Titles(8, "Sample #,XgND,X Gryo,Y acc,XtND,X Temp,", f, st)), "");
    ASSERT_EQ(st.columns.size(), 3u);
    EXPECT_EQ(st.fieldsPerLine, 6);
    const std::tuple<int, int, std::string, std::string, Quantity> want[] = {
        {2, 1, "X Gryo", "deg/s", Quantity::Rate},
        {3, -1, "Y acc", "g", Quantity::Acceleration},
        {5, 4, "X Temp", "degC", Quantity::Other}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& c = st.columns[i];
        EXPECT_EQ(
            std::tuple(c.valueField, c.flagField, c.series.title, c.series.unit, c.series.quantity),
            want[i]);
    }
    const std::pair<std::string, std::string> bad[] = {
        {"Sample,X Gryo,",
         S(LogStatus::BadTitles, "column titles expected, starting with \"Sample #\"")},
        {"Sample #,Sp\x07"
         "eed,",
         S(LogStatus::BadTitles, "unknown column title \"Sp\\x07eed\"")},
    };
    for (const auto& [line, outcome] : bad) {
        parse::DataState s2;
        EXPECT_EQ(Outcome(parse::Titles(8, line, f, s2)), outcome) << line;
    }
}

// Without titles: flags where every other field of the first lines is 0 or 1.
TEST(ParseColumns, GuessedFlagsAndChosenChannels) {
    parse::Format f;
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"1,1,0.5,0,2,", "2,0,0.5,1,3,"}, "2:1 4:3"},
        {{"1,1,0.5,0,2,", "2,2,0.5,1,3,"}, "1 2 3 4"},
        {{"1,0.5,", "2,0.7,"}, "1"},
    };
    for (const auto& [lines, want] : rows) {
        parse::DataState st;
        parse::GuessColumns(lines, f, st);
        std::string got;
        for (const auto& c : st.columns)
            got += (got.empty() ? "" : " ") + std::to_string(c.valueField) +
                   (c.flagField >= 0 ? ":" + std::to_string(c.flagField) : "");
        EXPECT_EQ(got, want) << lines[0];
    }
    parse::DataState st;
    parse::GuessColumns({"1,1,0.5,0,2,"}, f, st);
    EXPECT_EQ(Outcome(parse::ChooseChannels({"2"}, 1, 10, st)), "");
    EXPECT_TRUE(!st.columns[0].keep && st.columns[1].keep);
}

TEST(ParseData, EachLineTheSampleNumberFlagsAndNumbers) {
    struct Row {
        std::string line, outcome;
    };
    const Row rows[] = {
        {"1,1,0.5,", ""},
        {"2,0,0.75,", ""}, // not new: counted, not kept
        {"3,1,-1e-3,", ""},
        {"x4,1,0.5,", S(LogStatus::BadSample, "sample number \"x4\" is not a whole number")},
        {"4,1,inf,", S(LogStatus::BadField, "field 3: \"inf\" is not a number")},
        {"4,1,1e400,", S(LogStatus::BadField, "field 3: \"1e400\" is not a number")},
        {"4,1,\x1b"
         "0,",
         S(LogStatus::BadField, "field 3: \"\\x1B0\" is not a number")},
        {"4,1,0.5,7,", S(LogStatus::BadFieldCount, "expected 3 fields")},
        {"4,1,0.25,", ""},
    };
    parse::Format f;
    parse::DataState st;
    ASSERT_EQ(Outcome(parse::Titles(8, "Sample #,XgND,X Gryo,", f, st)), "");
    ASSERT_EQ(Outcome(parse::ChooseChannels({}, 8, 10, st)), "");
    long long n = 8;
    for (const auto& r : rows)
        EXPECT_EQ(Outcome(parse::DataLine(++n, r.line, f, st)), r.outcome) << r.line;
    const Series& s = st.columns[0].series;
    EXPECT_EQ(s.values, (std::vector<double>{0.5, -1e-3, 0.25}));
    EXPECT_EQ(std::pair(s.logged, s.fresh), std::pair(4LL, 3LL));
    EXPECT_EQ(st.lines, 4);
}

// tau0 and the elapsed time from the header, the rate given or the sensor's period.
TEST(ParseTau0, FromHeaderRateOrSensorPeriod) {
    struct Row {
        bool header;
        double elapsed, rate, period;
        long long fresh; // of 4 lines
        double tau0, seriesElapsed;
        Tau0Source source;
    };
    const Row rows[] = {
        {true, 2, 0, 0, 4, 0.5, 2, Tau0Source::LogHeader},
        {true, 2, 8, 0, 4, 0.125, 0.5, Tau0Source::GivenRate},
        {true, 2, 0, 0, 2, 1, 2, Tau0Source::NewDataCount},
        {true, 2, 0, 0.25, 2, 0.25, 2, Tau0Source::SensorPeriod},
        {false, 0, 0, 0.25, 2, 0.25, 0, Tau0Source::SensorPeriod},
    };
    for (const auto& r : rows) {
        parse::Format f;
        f.header = r.header;
        parse::DataState st;
        st.lines = 4;
        parse::Column c;
        c.keep = c.fractional = true;
        c.series.logged = 4;
        c.series.fresh = r.fresh;
        st.columns = {c};
        ReadOptions o;
        o.rateHz = r.rate;
        o.sensorPeriod = r.period;
        ASSERT_TRUE(parse::DecideTau0(o, f, r.elapsed, st).ok()) << r.elapsed;
        const Series& s = st.columns[0].series;
        EXPECT_DOUBLE_EQ(s.tau0, r.tau0) << r.elapsed << " " << r.rate << " " << r.period;
        EXPECT_DOUBLE_EQ(s.elapsed, r.seriesElapsed);
        EXPECT_EQ(s.source, r.source);
    }
}

// The lines a file holds, whatever ends them; a line too long is refused before it is read.
TEST(LineSource, LineEndsMarkAndBounds) {
    ScratchDir dir;
    const auto read = [&](const std::string& bytes) {
        std::ofstream(dir.path / "f", std::ios::binary | std::ios::trunc) << bytes;
        LineSource src;
        std::string got;
        LogProblem p = src.open(dir.path / "f");
        for (std::string_view l; p.ok() && src.next(l);) got += std::string(l) + "|";
        return got + Outcome(p.ok() ? src.problem() : p);
    };
    // LF, CR alone as an old editor saves, a spreadsheet's byte-order mark.
    for (const char* bytes : {"a\nb\n", "a\rb\r",
                              "\xEF\xBB\xBF"
                              "a\r\nb\r\n"})
        EXPECT_EQ(read(bytes), "a|b|") << bytes;
    const std::string big(kMaxLineBytes + 1, '7');
    for (const std::string& bytes : {"a\n" + big + "\n", "a\n" + big})
        EXPECT_EQ(read(bytes), "a|" + S(LogStatus::LineTooLong, "longer than 65536 bytes"));
}

} // namespace
