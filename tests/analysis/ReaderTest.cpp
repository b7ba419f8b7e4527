// The log reader, phase by phase, each with a table of lines; then the file as lines (line
// ends, byte-order mark, bounds, files that are not files).
#include <gtest/gtest.h>

#include <sys/stat.h>

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
        {"Name,Value", ',', false, false,
         S(LogStatus::NotALog,
           notLog + "\"Name,Value\", not with \"File Name\", \"Sample #\" or sample 1)")},
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
        {"Sample #,X Gyro,", S(LogStatus::BadTitles, "unknown column title \"X Gyro\"")},
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
    EXPECT_EQ(
        Outcome(parse::ChooseChannels({"X Gryo"}, 1, 10, st)),
        S(LogStatus::NoSuchChannel, "no channel \"X Gryo\" (the file has column 1, column 2)"));
}

TEST(ParseData, EachLineTheSampleNumberFlagsAndNumbers) {
    struct Row {
        std::string line, outcome;
    };
    const Row rows[] = {
        {"1,1,0.5,", ""},
        {"2,0,0.75,", ""}, // not new: counted, not kept
        {"3,1,-1e-3,", ""},
        {"5,1,0.5,", S(LogStatus::BadSample, "sample 5 where 4 was expected")},
        {"x4,1,0.5,", S(LogStatus::BadSample, "sample number \"x4\" is not a whole number")},
        {"4,2,0.5,", S(LogStatus::BadField, "field 2: new-data flag \"2\" is not 0 or 1")},
        {"4,1,O.25,", S(LogStatus::BadField, "field 3: \"O.25\" is not a number")},
        {"4,1,inf,", S(LogStatus::BadField, "field 3: \"inf\" is not a number")},
        {"4,1,1e400,", S(LogStatus::BadField, "field 3: \"1e400\" is not a number")},
        {"4,1,\x1b"
         "0,",
         S(LogStatus::BadField, "field 3: \"\\x1B0\" is not a number")},
        {"4,1,", S(LogStatus::BadField, "field 3: \"\" is not a number")},
        {"4,1", S(LogStatus::BadFieldCount, "expected 3 fields")},
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
    // A decimal comma in tab-separated files.
    parse::Format tab;
    tab.sep = '\t', tab.commaDecimal = true;
    parse::DataState t;
    ASSERT_EQ(Outcome(parse::Titles(8, "Sample #\tX Gryo\t", tab, t)), "");
    ASSERT_EQ(Outcome(parse::ChooseChannels({}, 8, 10, t)), "");
    EXPECT_EQ(Outcome(parse::DataLine(9, "1\t-0,125\t", tab, t)), "");
    EXPECT_EQ(t.columns[0].series.values, std::vector<double>{-0.125});
}

// tau0 and the elapsed time from the header, the rate given or the sensor's period.
TEST(ParseTau0, FromHeaderRateOrSensorPeriod) {
    struct Row {
        bool header;
        double elapsed, rate, period;
        long long fresh; // of 4 lines
        double tau0, seriesElapsed;
        Tau0Source source;
        std::string outcome;
    };
    const Row rows[] = {
        {true, 2, 0, 0, 4, 0.5, 2, Tau0Source::LogHeader, ""},
        {true, 2, 8, 0, 4, 0.125, 0.5, Tau0Source::GivenRate, ""},
        {true, 2, 0, 0, 2, 1, 2, Tau0Source::NewDataCount, ""},
        {true, 2, 0, 0.25, 2, 0.25, 2, Tau0Source::SensorPeriod, ""},
        {false, 0, 0, 0.25, 2, 0.25, 0, Tau0Source::SensorPeriod, ""},
        {false, 0, 0, 0, 4, 0, 0, Tau0Source::LogHeader,
         S(LogStatus::NeedsRate, "the file has no header: give the sample rate")},
        {true, -3, 0, 0, 4, 0, 0, Tau0Source::LogHeader,
         S(LogStatus::BadElapsed, "the elapsed time is zero or negative (did the logging span "
                                  "midnight?); give the sample rate")},
        {true, 1e-300, 0, 0, 4, 0, 0, Tau0Source::LogHeader,
         S(LogStatus::BadElapsed,
           "the elapsed time is too short for 4 lines; give the sample rate")},
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
        EXPECT_EQ(Outcome(parse::DecideTau0(o, f, r.elapsed, st)), r.outcome) << r.elapsed;
        if (!r.outcome.empty()) continue;
        const Series& s = st.columns[0].series;
        EXPECT_DOUBLE_EQ(s.tau0, r.tau0) << r.elapsed << " " << r.rate << " " << r.period;
        EXPECT_DOUBLE_EQ(s.elapsed, r.seriesElapsed);
        EXPECT_EQ(s.source, r.source);
    }
}

// The lines a file holds, whatever ends them; what no log file can be is refused at once.
TEST(LineSource, LineEndsMarkBoundsAndSpecialFiles) {
    ScratchDir dir;
    const std::string big(kMaxLineBytes + 1, '7');
    struct Row {
        std::string bytes, lines, outcome;
    };
    const Row rows[] = {
        {"a\r\nb\r\n", "a|b|", ""},
        {"a\nb\n", "a|b|", ""},
        {"a\rb\r", "a|b|", ""}, // CR alone, as an old editor saves
        {"\xEF\xBB\xBF"
         "a\r\nb\r\n",
         "a|b|", ""}, // a spreadsheet's byte-order mark
        {"a\r\nb", "a|",
         S(LogStatus::CutShort, "the last line is incomplete (the file was cut short)")},
        {"", "", S(LogStatus::Empty, "the file is empty")},
        {"a\n" + big + "\n", "a|", S(LogStatus::LineTooLong, "longer than 65536 bytes")},
        {"a\n" + big, "a|", S(LogStatus::LineTooLong, "longer than 65536 bytes")},
    };
    for (const auto& r : rows) {
        std::ofstream(dir.path / "f", std::ios::binary | std::ios::trunc) << r.bytes;
        LineSource src;
        std::string got;
        LogProblem p = src.open(dir.path / "f");
        for (std::string_view l; p.ok() && src.next(l);) got += std::string(l) + "|";
        if (p.ok()) p = src.problem();
        EXPECT_EQ(got, r.lines) << r.bytes.substr(0, 20);
        EXPECT_EQ(Outcome(p), r.outcome) << r.bytes.substr(0, 20);
    }
#ifndef _WIN32 // (Windows has no FIFO in the file system and opens no directory as a file)
    ASSERT_EQ(::mkfifo((dir.path / "fifo").c_str(), 0600), 0); // no writer: would block
    for (const char* name : {"fifo", "."}) {
        LineSource src;
        EXPECT_EQ(Outcome(src.open(dir.path / name)),
                  S(LogStatus::NotRegularFile,
                    "not a file (a directory, FIFO, device or socket): nothing read"));
    }
#endif
    LineSource src;
    EXPECT_EQ(src.open(dir.path / "none").status, LogStatus::CannotOpen);
}

// The phases together on whole files: a kept "_incomplete" file (titles, no header) reads
// with the rate given; the line a problem is on is the file's.
TEST(ReadLog, WholeFiles) {
    ScratchDir dir;
    const std::pair<std::string, std::string> rows[] = {
        {"Sample #,XgND,X Gryo,\r\n1,1,0.5,\r\n2,0,0.5,\r\n3,1,1,\r\n", "X Gryo 2/3 tau0 0.375"},
        {"File Name,D_1.csv\r\nDate,1/1/2027\r\nTime,1:00 AM\r\nBegin Seconds,10\r\nEnd "
         "Seconds,12\r\nElapsed Seconds,2\r\n \r\nSample #,X acc,\r\n1,0.5,\r\n2,1,\r\n",
         "X acc 2/2 tau0 0.25"},
        {"File Name,D_1.csv\r\nDate,1/1/2027\r\n",
         S(LogStatus::BadHeader, "line 2: the header ends before the column titles")},
        {"1,0.5,\r\n2,x,\r\n", S(LogStatus::BadField, "line 2: field 2: \"x\" is not a number")},
    };
    for (const auto& [text, want] : rows) {
        std::ofstream(dir.path / "f.csv", std::ios::binary | std::ios::trunc) << text;
        ReadOptions o;
        o.rateHz = 4;
        const ReadResult r = ReadLog(dir.path / "f.csv", o);
        std::string got;
        if (!r.problem.ok())
            got = S(r.problem.status,
                    "line " + std::to_string(r.problem.line) + ": " + r.problem.detail);
        for (const auto& s : r.data.channels)
            got += s.title + " " + std::to_string(s.fresh) + "/" + std::to_string(s.logged) +
                   " tau0 " + NumberText(s.tau0);
        EXPECT_EQ(got, want) << text.substr(0, 30);
    }
}

} // namespace
