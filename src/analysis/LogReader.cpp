#include "analysis/LogReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace tavrin::analysis {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// Column titles the logging window writes, and what their values are.
struct KnownColumn {
    std::string_view title, flag;
    Quantity quantity;
    std::string_view unit;
};
constexpr KnownColumn kKnown[] = {
    {"Power V", "PvND", Quantity::Other, "V"},      {"X Gryo", "XgND", Quantity::Rate, "deg/s"},
    {"Y Gyro", "YgND", Quantity::Rate, "deg/s"},    {"Z Gyro", "ZgND", Quantity::Rate, "deg/s"},
    {"X acc", "XaND", Quantity::Acceleration, "g"}, {"Y acc", "YaND", Quantity::Acceleration, "g"},
    {"Z acc", "ZaND", Quantity::Acceleration, "g"}, {"X Temp", "XtND", Quantity::Other, "degC"},
};
constexpr std::string_view kHeaderTitles[] = {"File Name",     "Date",        "Time",
                                              "Begin Seconds", "End Seconds", "Elapsed Seconds"};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

// A number in C form, or with a decimal comma in tab-separated files.
std::optional<double> Number(std::string_view t, bool commaDecimal) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (t.empty() || t.size() > 60) return std::nullopt;
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

struct Column {
    int valueField = 0; // index of the value among a line's fields
    int flagField = -1; // index of its flag, -1 without
    bool keep = false;
    bool fractional = false; // some value had a fraction or exponent: scaled, not raw
    Series series;
};

struct Reader {
    const std::filesystem::path& path;
    const ReadOptions& opt;
    ReadResult result;
    std::string name = path.filename().string();

    bool fail(long long line, const std::string& what) {
        result.error = name + ": line " + std::to_string(line) + ": " + what;
        return false;
    }
};

} // namespace

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

ReadResult ReadLog(const std::filesystem::path& path, const ReadOptions& opt) {
    Reader rd{path, opt, {}};
    auto fail = [&](long long line, const std::string& what) {
        rd.fail(line, what);
        return std::move(rd.result);
    };
    File f(std::fopen(path.string().c_str(), "rb"));
    if (!f) {
        rd.result.error = rd.name + ": cannot be opened";
        return std::move(rd.result);
    }
    std::vector<char> buf(kChunk);

    // Size and last byte first: a file cut short is refused before anything is read.
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return fail(1, "read error");
    const long size = std::ftell(f.get());
    if (size < 0) return fail(1, "read error");
    const auto bytes = static_cast<unsigned long long>(size);
    if (bytes == 0) return fail(1, "the file is empty");
    char last = 0;
    if (std::fseek(f.get(), -1, SEEK_END) != 0 || std::fread(&last, 1, 1, f.get()) != 1)
        return fail(1, "read error");
    const bool cutShort = last != '\n';
    std::rewind(f.get());
    std::size_t got;

    // Header, titles and data, line by line.
    std::vector<Column> cols;
    char sep = 0;
    bool commaDecimal = false;
    bool header = false;
    int fieldsPerLine = 0;
    double elapsed = 0;
    long long lineNo = 0, dataLines = 0, nextSample = 1;
    std::string carry;
    unsigned long long done = 0;

    auto setUp = [&](std::string_view line) -> bool {
        // The first line decides: a header, or sample 1 of a file without one.
        for (const char s : {',', '\t'}) {
            if (line.size() > 9 && line.substr(0, 9) == "File Name" && line[9] == s) {
                sep = s;
                header = true;
            }
        }
        if (!header) {
            sep = line.find('\t') != line.npos ? '\t' : ',';
            const auto fields = Split(line, sep);
            if (fields.size() < 2 || fields[0] != "1")
                return rd.fail(1, "not a log file of this program (it starts neither with "
                                  "\"File Name\" nor with sample 1)");
        }
        commaDecimal = sep == '\t';
        return true;
    };
    auto titles = [&](std::string_view line) -> bool {
        const auto t = Split(line, sep);
        if (t.empty() || t[0] != "Sample #")
            return rd.fail(lineNo, "column titles expected, starting with \"Sample #\"");
        for (std::size_t i = 1; i < t.size(); ++i) {
            const KnownColumn* k = nullptr;
            for (const auto& c : kKnown)
                if (t[i] == c.title) k = &c;
            bool isFlag = false;
            for (const auto& c : kKnown) isFlag = isFlag || t[i] == c.flag;
            if (isFlag) continue;
            if (!k) return rd.fail(lineNo, "unknown column title \"" + std::string(t[i]) + "\"");
            Column c;
            c.valueField = static_cast<int>(i);
            if (i >= 2 && t[i - 1] == k->flag) c.flagField = static_cast<int>(i - 1);
            c.series.title = std::string(k->title);
            c.series.quantity = k->quantity;
            c.series.unit = std::string(k->unit);
            cols.push_back(std::move(c));
        }
        fieldsPerLine = static_cast<int>(t.size());
        return true;
    };
    // Without titles: flags are there when every other field of the first lines is 0 or 1.
    auto guessColumns = [&](const std::vector<std::string_view>& firstLines) {
        const auto f0 = Split(firstLines[0], sep);
        const int n = static_cast<int>(f0.size());
        bool flags = n >= 3 && (n - 1) % 2 == 0;
        for (const auto l : firstLines) {
            const auto f = Split(l, sep);
            for (int i = 1; flags && i < static_cast<int>(f.size()); i += 2) flags = IsFlag(f[i]);
        }
        for (int i = 1; i < n; i += flags ? 2 : 1) {
            Column c;
            c.flagField = flags ? i : -1;
            c.valueField = flags ? i + 1 : i;
            c.series.title = "column " + std::to_string(cols.size() + 1);
            cols.push_back(std::move(c));
        }
        fieldsPerLine = n;
    };
    auto choose = [&]() -> bool {
        if (opt.channels.empty()) {
            for (auto& c : cols) c.keep = true;
        }
        for (const auto& want : opt.channels) {
            bool found = false;
            for (std::size_t i = 0; i < cols.size(); ++i)
                if (cols[i].series.title == want || std::to_string(i + 1) == want)
                    found = cols[i].keep = true;
            if (!found) {
                std::string have;
                for (const auto& c : cols) have += (have.empty() ? "" : ", ") + c.series.title;
                return rd.fail(header ? 8 : 1,
                               "no channel \"" + want + "\" (the file has " + have + ")");
            }
        }
        // No line is shorter than two bytes a field: an upper bound on the samples. Pages
        // of the capacity that are never filled are never touched, so cost no memory.
        const auto most = bytes / (2 * static_cast<unsigned long long>(fieldsPerLine) + 1) + 2;
        for (auto& c : cols)
            if (c.keep) c.series.values.reserve(static_cast<std::size_t>(most));
        return true;
    };
    auto data = [&](std::string_view line) -> bool {
        std::size_t p = 0;
        const std::size_t end = line.size();
        int field = 0;
        std::size_t col = 0;
        bool flag = true;
        bool more = true; // a field starts at p
        while (more && field < fieldsPerLine) {
            std::size_t q = line.find(sep, p);
            if (q == line.npos) {
                q = end;
                more = false;
            }
            const std::string_view t = line.substr(p, q - p);
            if (field == 0) {
                long long s = 0;
                const auto r = std::from_chars(t.data(), t.data() + t.size(), s);
                if (r.ec != std::errc() || r.ptr != t.data() + t.size())
                    return rd.fail(lineNo, "sample number \"" + std::string(t) +
                                               "\" is not a whole number");
                if (s != nextSample)
                    return rd.fail(lineNo, "sample " + std::to_string(s) + " where " +
                                               std::to_string(nextSample) + " was expected");
                ++nextSample;
            } else if (col < cols.size()) {
                Column& c = cols[col];
                if (field == c.flagField) {
                    if (!IsFlag(t))
                        return rd.fail(lineNo, "field " + std::to_string(field + 1) +
                                                   ": new-data flag \"" + std::string(t) +
                                                   "\" is not 0 or 1");
                    flag = t[0] == '1';
                } else if (field == c.valueField) {
                    if (c.keep) {
                        const auto v = Number(t, commaDecimal);
                        if (!v)
                            return rd.fail(lineNo, "field " + std::to_string(field + 1) + ": \"" +
                                                       std::string(t) + "\" is not a number");
                        if (!c.fractional && t.find_first_of(".,eE") != t.npos) c.fractional = true;
                        ++c.series.logged;
                        if (flag) {
                            ++c.series.fresh;
                            c.series.values.push_back(*v);
                        }
                    }
                    flag = true;
                    ++col;
                }
            }
            ++field;
            p = q + 1;
        }
        // A line ends with a separator: nothing may follow it.
        const bool extra = more && p < end;
        if (field != fieldsPerLine || extra)
            return rd.fail(lineNo, "expected " + std::to_string(fieldsPerLine) + " fields");
        ++dataLines;
        return true;
    };
    auto headerLine = [&](std::string_view line) -> bool {
        if (lineNo <= 6) {
            const auto& want = kHeaderTitles[lineNo - 1];
            if (line.substr(0, want.size()) != want || line.size() <= want.size() ||
                line[want.size()] != sep)
                return rd.fail(lineNo, "header line \"" + std::string(want) + "\" expected");
            if (lineNo == 6) {
                const auto v = Number(line.substr(want.size() + 1), commaDecimal);
                if (!v) return rd.fail(lineNo, "the elapsed time is not a number");
                elapsed = *v;
            }
            return true;
        }
        if (lineNo == 7) return true; // the blank line
        return titles(line);
    };

    std::vector<std::string_view> firstLines; // only without header, for guessColumns
    std::vector<std::string> firstStore;
    bool ready = false;
    auto flushFirst = [&]() -> bool {
        for (const auto& s : firstStore) firstLines.push_back(s);
        guessColumns(firstLines);
        if (!choose()) return false;
        ready = true;
        const long long upto = lineNo;
        lineNo -= static_cast<long long>(firstStore.size());
        for (const auto& s : firstStore) {
            ++lineNo;
            if (!data(s)) return false;
        }
        lineNo = upto;
        firstStore.clear();
        return true;
    };
    auto onLine = [&](std::string_view line) -> bool {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNo == 1 && !setUp(line)) return false;
        if (header && lineNo <= 8) {
            if (!headerLine(line)) return false;
            if (lineNo == 8) {
                if (!choose()) return false;
                ready = true;
            }
            return true;
        }
        if (!ready) {
            // Without header: gather the first lines to see whether there are flags.
            firstStore.emplace_back(line);
            return firstStore.size() < 64 || flushFirst();
        }
        return data(line);
    };

    bool ok = true;
    while (ok && (got = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) {
        std::size_t at = 0;
        for (;;) {
            const char* nl = static_cast<const char*>(std::memchr(buf.data() + at, '\n', got - at));
            if (!nl) break;
            const std::size_t len = static_cast<std::size_t>(nl - (buf.data() + at));
            if (!carry.empty()) {
                carry.append(buf.data() + at, len);
                ok = onLine(carry);
                carry.clear();
            } else {
                ok = onLine(std::string_view(buf.data() + at, len));
            }
            at += len + 1;
            if (!ok) break;
        }
        if (!ok) break;
        carry.append(buf.data() + at, got - at);
        done += got;
        if (opt.progress && !opt.progress(static_cast<double>(done) / static_cast<double>(bytes))) {
            rd.result.cancelled = true;
            return std::move(rd.result);
        }
    }
    if (ok && !ready && !firstStore.empty()) ok = flushFirst();
    if (!ok) return std::move(rd.result);
    if (cutShort) return fail(lineNo + 1, "the last line is incomplete (the file was cut short)");
    if (header && lineNo < 8) return fail(lineNo, "the header ends before the column titles");
    if (dataLines == 0) return fail(lineNo, "no data lines");

    // Sample interval: the logging period, or the sensor's where flags show that the same
    // sample was logged more than once.
    // The logging period, where a series needs it.
    double logPeriod = 0;
    Tau0Source logSource = Tau0Source::GivenRate;
    std::string periodProblem;
    if (opt.rateHz > 0) {
        logPeriod = 1 / opt.rateHz;
    } else if (!header) {
        periodProblem = "the file has no header: give the sample rate";
    } else if (!(elapsed > 0)) {
        periodProblem = "the elapsed time is zero or negative (did the logging span "
                        "midnight?); give the sample rate";
    } else {
        logPeriod = elapsed / static_cast<double>(dataLines);
        logSource = Tau0Source::LogHeader;
    }
    LogData& out = rd.result.data;
    out.header = header;
    out.lines = dataLines;
    for (auto& c : cols) {
        if (!c.keep) continue;
        Series& s = c.series;
        if (!c.fractional && header) {
            s.quantity = Quantity::Other; // raw register values
            s.unit = "counts";
        }
        const bool overSampled = s.fresh < s.logged;
        if (!(overSampled && opt.sensorPeriod > 0) && !periodProblem.empty())
            return fail(header ? 6 : 1, periodProblem);
        if (overSampled) {
            if (opt.sensorPeriod > 0) {
                s.tau0 = opt.sensorPeriod;
                s.source = Tau0Source::SensorPeriod;
            } else {
                s.tau0 = logPeriod * static_cast<double>(s.logged) / static_cast<double>(s.fresh);
                s.source = Tau0Source::NewDataCount;
            }
        } else {
            s.tau0 = logPeriod;
            s.source = logSource;
        }
        out.channels.push_back(std::move(s));
    }
    return std::move(rd.result);
}

} // namespace tavrin::analysis
