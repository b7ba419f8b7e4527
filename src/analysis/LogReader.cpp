#include "analysis/LogReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "analysis/LogInput.h"
#include "base/NumberText.h"
#include "datalog/LogFormat.h"

namespace tavrin::analysis {

namespace {

// What the values of each logging box are (the titles are the log format's, datalog's).
struct BoxValues {
    Quantity quantity;
    std::string_view unit;
};
constexpr BoxValues kBoxValues[datalog::kLastBox + 1] = {
    {Quantity::Other, ""},         {Quantity::Other, "V"},        {Quantity::Rate, "deg/s"},
    {Quantity::Rate, "deg/s"},     {Quantity::Rate, "deg/s"},     {Quantity::Acceleration, "g"},
    {Quantity::Acceleration, "g"}, {Quantity::Acceleration, "g"}, {Quantity::Other, "degC"},
};
using datalog::kHeaderTitles;
using datalog::kSampleTitle;
constexpr std::size_t kGuessLines = 64; // lines seen before deciding on flags without titles
constexpr double kShortestTau0 = 1e-9;  // seconds; shorter is no logging this program did

using base::QuotedInput;

std::vector<std::string_view> Split(std::string_view line, char sep) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t p = line.find(sep, at);
        out.push_back(line.substr(at, p == std::string_view::npos ? line.npos : p - at));
        if (p == std::string_view::npos) break;
        at = p + 1;
    }
    if (out.size() > 1 && out.back().empty()) out.pop_back(); // lines end with a separator
    return out;
}

// Digits with at most one decimal point, at most 15 significant digits, no exponent: the
// digits and the power of ten are exact doubles, so their quotient is the correctly rounded
// value. Most numbers this program writes are of this form.
bool PlainDecimal(std::string_view t, char point, double& v) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = t.data();
    const char* const end = p + t.size();
    const bool negative = *p == '-';
    p += negative;
    const char* const start = p;
    while (p < end && *p == '0') ++p; // leading zeros are not significant
    std::uint64_t digits = 0;
    const char* first = p;
    while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + (*p++ - '0');
    long significant = p - first;
    bool any = p > start; // a digit at all, zeros included
    int fraction = 0;
    if (p < end && *p == point) {
        const char* f = ++p;
        if (digits == 0)
            while (p < end && *p == '0') ++p; // nor are those of 0.000123
        const char* lead = p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + (*p++ - '0');
        fraction = static_cast<int>(p - f);
        significant += p - lead;
        any = any || fraction > 0;
    }
    if (p != end || !any || significant > 15 || fraction > 15) return false;
    v = static_cast<double>(digits) / kPow10[fraction];
    if (negative) v = -v;
    return true;
}

// A finite number in C form, or with a decimal comma in tab-separated files.
std::optional<double> Number(std::string_view t, bool commaDecimal) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (t.empty() || t.size() > 60) return std::nullopt;
    if (double v = 0; PlainDecimal(t, commaDecimal ? ',' : '.', v)) return v;
    char buf[64];
    std::memcpy(buf, t.data(), t.size());
    if (commaDecimal)
        for (std::size_t i = 0; i < t.size(); ++i)
            if (buf[i] == ',') buf[i] = '.';
    const char* b = buf + (buf[0] == '+' ? 1 : 0);
    double v = 0;
    const auto r = std::from_chars(b, buf + t.size(), v);
    if (r.ec != std::errc() || r.ptr != buf + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool IsFlag(std::string_view t) {
    return t == "0" || t == "1";
}

LogProblem Bad(LogStatus s, long long line, std::string detail) {
    return Problem(s, line, std::move(detail));
}

std::string FieldText(int field) {
    return "field " + std::to_string(field + 1) + ": ";
}

} // namespace

std::string ProblemText(const std::string& fileName, const LogProblem& p) {
    if (p.line <= 0) return fileName + ": " + p.detail;
    return fileName + ": line " + std::to_string(p.line) + ": " + p.detail;
}

std::string Tau0Text(const Series& s) {
    std::string t = "tau0 = " + NumberText(s.tau0) + " s (";
    switch (s.source) {
    case Tau0Source::LogHeader:
        t += "logging rate from the file's elapsed time";
        break;
    case Tau0Source::GivenRate:
        t += "logging rate given";
        break;
    case Tau0Source::SensorPeriod:
        t += "sensor sample period";
        break;
    case Tau0Source::NewDataCount:
        t += "logged time over the number of new samples";
        break;
    }
    if (s.fresh != s.logged)
        t += "; " + std::to_string(s.fresh) + " of " + std::to_string(s.logged) +
             " lines were new samples";
    return t + ")";
}

namespace parse {

LogProblem DetectFormat(std::string_view line, Format& f) {
    f = {};
    for (const char s : {',', '\t'}) {
        const auto startsWith = [&](std::string_view title) {
            return line.size() > title.size() && line.substr(0, title.size()) == title &&
                   line[title.size()] == s;
        };
        if (startsWith(kHeaderTitles[0])) f.sep = s, f.header = true;
        if (startsWith(kSampleTitle)) f.sep = s, f.titlesFirst = true;
    }
    if (!f.header && !f.titlesFirst) {
        f.sep = line.find('\t') != line.npos ? '\t' : ',';
        const auto fields = Split(line, f.sep);
        if (fields.size() < 2 || fields[0] != "1")
            return Bad(LogStatus::NotALog, 1,
                       "not a log file of this program (it starts with " + QuotedInput(line) +
                           ", not with \"File Name\", \"Sample #\" or sample 1)");
    }
    f.commaDecimal = f.sep == '\t';
    return {};
}

LogProblem HeaderLine(long long lineNo, std::string_view line, const Format& f, double& elapsed) {
    if (lineNo < 1 || lineNo > 6) return {}; // line 7 is the blank line
    const std::string_view want = kHeaderTitles[lineNo - 1];
    if (line.substr(0, want.size()) != want || line.size() <= want.size() ||
        line[want.size()] != f.sep)
        return Bad(LogStatus::BadHeader, lineNo,
                   "header line \"" + std::string(want) + "\" expected");
    if (lineNo == 6) {
        const auto v = Number(line.substr(want.size() + 1), f.commaDecimal);
        if (!v) return Bad(LogStatus::BadHeader, lineNo, "the elapsed time is not a number");
        elapsed = *v;
    }
    return {};
}

LogProblem Titles(long long lineNo, std::string_view line, const Format& f, DataState& st) {
    const auto t = Split(line, f.sep);
    if (t.empty() || t[0] != kSampleTitle)
        return Bad(LogStatus::BadTitles, lineNo,
                   "column titles expected, starting with \"Sample #\"");
    for (std::size_t i = 1; i < t.size(); ++i) {
        int box = 0;
        bool isFlag = false;
        for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b) {
            if (t[i] == datalog::kValueTitles[b]) box = b;
            isFlag = isFlag || t[i] == datalog::kFlagTitles[b];
        }
        if (isFlag) continue;
        if (box == 0)
            return Bad(LogStatus::BadTitles, lineNo, "unknown column title " + QuotedInput(t[i]));
        Column c;
        c.valueField = static_cast<int>(i);
        if (i >= 2 && t[i - 1] == datalog::kFlagTitles[box]) c.flagField = static_cast<int>(i - 1);
        c.series.title = std::string(datalog::kValueTitles[box]);
        c.series.quantity = kBoxValues[box].quantity;
        c.series.unit = std::string(kBoxValues[box].unit);
        st.columns.push_back(std::move(c));
    }
    st.fieldsPerLine = static_cast<int>(t.size());
    return {};
}

void GuessColumns(const std::vector<std::string>& firstLines, const Format& f, DataState& st) {
    const auto f0 = Split(firstLines.at(0), f.sep);
    const int n = static_cast<int>(f0.size());
    bool flags = n >= 3 && (n - 1) % 2 == 0;
    for (const auto& l : firstLines) {
        const auto fields = Split(l, f.sep);
        for (int i = 1; flags && i < static_cast<int>(fields.size()); i += 2)
            flags = IsFlag(fields[i]);
    }
    for (int i = 1; i < n; i += flags ? 2 : 1) {
        Column c;
        c.flagField = flags ? i : -1;
        c.valueField = flags ? i + 1 : i;
        c.series.title = "column " + std::to_string(st.columns.size() + 1);
        st.columns.push_back(std::move(c));
    }
    st.fieldsPerLine = n;
}

LogProblem ChooseChannels(const std::vector<std::string>& wanted, long long titleLine,
                          std::size_t capacity, DataState& st) {
    auto& cols = st.columns;
    for (auto& c : cols) c.keep = wanted.empty();
    for (const auto& want : wanted) {
        bool found = false;
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].series.title == want || std::to_string(i + 1) == want)
                found = cols[i].keep = true;
        if (found) continue;
        std::string have;
        for (std::size_t i = 0; i < cols.size() && i < 10; ++i)
            have += (i ? ", " : "") + cols[i].series.title;
        if (cols.size() > 10) have += ", \u2026";
        return Bad(LogStatus::NoSuchChannel, titleLine,
                   "no channel " + QuotedInput(want) + " (the file has " + have + ")");
    }
    // Pages of the capacity that are never filled are never touched, so cost no memory.
    for (auto& c : cols)
        if (c.keep) c.series.values.reserve(capacity);
    return {};
}

} // namespace parse

namespace parse {

namespace {

// One field of a data line after the sample number: a flag or a value of `c`. False
// with `problem` set when it cannot be read.
bool Field(long long lineNo, int field, std::string_view t, const Format& f, Column& c, bool& flag,
           std::size_t& col, LogProblem& problem) {
    if (field == c.flagField) {
        if (!IsFlag(t)) {
            problem = Bad(LogStatus::BadField, lineNo,
                          FieldText(field) + "new-data flag " + QuotedInput(t) + " is not 0 or 1");
            return false;
        }
        flag = t[0] == '1';
        return true;
    }
    if (field != c.valueField) return true;
    if (c.keep) {
        const auto v = Number(t, f.commaDecimal);
        if (!v) {
            problem = Bad(LogStatus::BadField, lineNo,
                          FieldText(field) + QuotedInput(t) + " is not a number");
            return false;
        }
        if (!c.fractional && t.find_first_of(".,eE") != t.npos) c.fractional = true;
        ++c.series.logged;
        if (flag) {
            ++c.series.fresh;
            c.series.values.push_back(*v);
            c.pushedLine = lineNo;
        }
    }
    flag = true;
    ++col;
    return true;
}

bool SampleNumber(long long lineNo, std::string_view t, DataState& st, LogProblem& problem) {
    long long s = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), s);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) {
        problem = Bad(LogStatus::BadSample, lineNo,
                      "sample number " + QuotedInput(t) + " is not a whole number");
        return false;
    }
    if (s != st.nextSample) {
        problem = Bad(LogStatus::BadSample, lineNo,
                      "sample " + std::to_string(s) + " where " + std::to_string(st.nextSample) +
                          " was expected");
        return false;
    }
    return true;
}

} // namespace

namespace {

// Takes back what a line that failed partway counted, so a line counts whole or not at all.
LogProblem Undo(long long lineNo, DataState& st, LogProblem problem) {
    for (auto& c : st.columns) {
        if (!c.keep || c.series.logged <= st.lines) continue;
        --c.series.logged;
        if (c.pushedLine == lineNo) {
            --c.series.fresh;
            c.series.values.pop_back();
            c.pushedLine = 0;
        }
    }
    return problem;
}

} // namespace

LogProblem DataLine(long long lineNo, std::string_view line, const Format& f, DataState& st) {
    LogProblem problem;
    std::size_t p = 0, col = 0;
    int field = 0;
    bool flag = true, more = true; // more: a field starts at p
    while (more && field < st.fieldsPerLine) {
        std::size_t q = line.find(f.sep, p);
        if (q == line.npos) {
            q = line.size();
            more = false;
        }
        const std::string_view t = line.substr(p, q - p);
        if (field == 0) {
            if (!SampleNumber(lineNo, t, st, problem)) return problem;
        } else if (col < st.columns.size()) {
            if (!Field(lineNo, field, t, f, st.columns[col], flag, col, problem))
                return Undo(lineNo, st, std::move(problem));
        }
        ++field;
        p = q + 1;
    }
    // A line ends with a separator: nothing may follow it.
    if (field != st.fieldsPerLine || (more && p < line.size()))
        return Undo(lineNo, st,
                    Bad(LogStatus::BadFieldCount, lineNo,
                        "expected " + std::to_string(st.fieldsPerLine) + " fields"));
    ++st.lines;
    ++st.nextSample;
    return {};
}

LogProblem DecideTau0(const ReadOptions& opt, const Format& f, double elapsed, DataState& st) {
    // The logging period, where a series needs it.
    double logPeriod = 0;
    Tau0Source logSource = Tau0Source::GivenRate;
    LogProblem missing;
    const auto lines = static_cast<double>(st.lines);
    if (opt.rateHz > 0) {
        logPeriod = 1 / opt.rateHz;
    } else if (opt.elapsed > 0) {
        logPeriod = opt.elapsed / lines;
    } else if (!f.header) {
        missing = Bad(LogStatus::NeedsRate, 1, "the file has no header: give the sample rate");
    } else if (!(elapsed > 0)) {
        missing = Bad(LogStatus::BadElapsed, 6,
                      "the elapsed time is zero or negative (did the logging span midnight?); "
                      "give the sample rate");
    } else if (!(elapsed / lines >= kShortestTau0)) {
        missing = Bad(LogStatus::BadElapsed, 6,
                      "the elapsed time is too short for " + std::to_string(st.lines) +
                          " lines; give the sample rate");
    } else {
        logPeriod = elapsed / lines;
        logSource = Tau0Source::LogHeader;
    }
    for (auto& c : st.columns) {
        if (!c.keep) continue;
        Series& s = c.series;
        if (!c.fractional && f.header) {
            s.quantity = Quantity::Other; // raw register values
            s.unit = "counts";
        }
        const bool overSampled = s.fresh < s.logged;
        if (!(overSampled && opt.sensorPeriod > 0) && !missing.ok()) return missing;
        s.elapsed = logPeriod * static_cast<double>(s.logged);
        if (!overSampled) {
            s.tau0 = logPeriod;
            s.source = logSource;
        } else if (opt.sensorPeriod > 0) {
            s.tau0 = opt.sensorPeriod;
            s.source = Tau0Source::SensorPeriod;
        } else {
            s.tau0 = s.fresh > 0 ? s.elapsed / static_cast<double>(s.fresh) : 0;
            s.source = Tau0Source::NewDataCount;
        }
    }
    return {};
}

} // namespace parse

namespace {

// One file's reading: the phases in order, line by line.
struct Reader {
    const ReadOptions& opt;
    LineSource src;
    parse::Format format;
    parse::DataState state;
    double elapsed = 0;
    bool ready = false;                  // columns known, data lines next
    std::vector<std::string> firstLines; // without titles, until the columns are guessed
    std::vector<std::size_t> handed;     // values of each column given to opt.samples

    std::size_t capacity() const {
        // No line is shorter than two bytes a field: an upper bound on the samples.
        return static_cast<std::size_t>(
            src.size() / (2 * static_cast<std::uint64_t>(state.fieldsPerLine) + 1) + 2);
    }
    LogProblem columnsGuessed() {
        parse::GuessColumns(firstLines, format, state);
        if (auto p = parse::ChooseChannels(opt.channels, 1, capacity(), state); !p.ok()) return p;
        ready = true;
        long long n = 0;
        for (const auto& l : firstLines)
            if (auto p = parse::DataLine(++n, l, format, state); !p.ok()) return p;
        firstLines.clear();
        return {};
    }
    LogProblem line(long long n, std::string_view l) {
        if (n == 1)
            if (auto p = parse::DetectFormat(l, format); !p.ok()) return p;
        if (format.header && n <= 7) return parse::HeaderLine(n, l, format, elapsed);
        if ((format.header && n == 8) || (format.titlesFirst && n == 1)) {
            if (auto p = parse::Titles(n, l, format, state); !p.ok()) return p;
            ready = true;
            return parse::ChooseChannels(opt.channels, n, capacity(), state);
        }
        if (ready) return parse::DataLine(n, l, format, state);
        firstLines.emplace_back(l);
        return firstLines.size() < kGuessLines ? LogProblem{} : columnsGuessed();
    }
    void handOut() {
        if (!opt.samples) return;
        handed.resize(state.columns.size());
        std::size_t channel = 0;
        for (std::size_t i = 0; i < state.columns.size(); ++i) {
            const parse::Column& c = state.columns[i];
            if (!c.keep) continue;
            const std::vector<double>& v = c.series.values;
            if (v.size() > handed[i])
                opt.samples(channel, v.data() + handed[i], v.size() - handed[i]);
            handed[i] = v.size();
            ++channel;
        }
    }
    LogProblem run() {
        std::string_view l;
        std::uint64_t reported = 0;
        while (src.next(l)) {
            if (auto p = line(src.lineNo(), l); !p.ok()) return p;
            if (src.consumed() == reported) continue;
            // A new piece of the file: the lines before it are whole.
            reported = src.consumed();
            handOut();
            if (opt.progress &&
                !opt.progress(static_cast<double>(reported) / static_cast<double>(src.size())))
                return Bad(LogStatus::Cancelled, 0, "cancelled");
        }
        if (!src.problem().ok()) return src.problem();
        if (!ready && !firstLines.empty())
            if (auto p = columnsGuessed(); !p.ok()) return p;
        handOut();
        const long long n = src.lineNo();
        if (format.header && n < 8)
            return Bad(LogStatus::BadHeader, n, "the header ends before the column titles");
        if (state.lines == 0) return Bad(LogStatus::NoData, n, "no data lines");
        return parse::DecideTau0(opt, format, elapsed, state);
    }
};

} // namespace

ReadResult ReadLog(const std::filesystem::path& path, const ReadOptions& opt) {
    ReadResult r;
    Reader rd{opt, {}, {}, {}, 0, false, {}, {}};
    r.problem = rd.src.open(path);
    if (r.problem.ok()) r.problem = rd.run();
    if (!r.problem.ok()) return r;
    r.data.header = rd.format.header;
    r.data.lines = rd.state.lines;
    for (auto& c : rd.state.columns)
        if (c.keep) r.data.channels.push_back(std::move(c.series));
    return r;
}

} // namespace tavrin::analysis
