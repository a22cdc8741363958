// What varnis-analyze accepts (data files, its command line) and the parts of its
// analysis that are its own: MTIE of many spans in one pass, the factors, the
// conditioning, what it refuses to report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

#include "analysis.h"
#include "command_line.h"
#include "data_file.h"
#include "mtie.h"
#include "svg_chart.h"
#include "varnis.h"

using namespace analyze;

TEST(AnalyzeDataFile, ReadsCaptureRecordsSkippingBlankLinesAndComments) {
    std::string text =
        "# run of 7 December\r\n"
        "1.234500000000000e-01\r\n"
        "\r\n"
        "-2.500000000000000e+00\r\n"
        "   3.0e-100  \r\n"
        "nan\r\n"                  // a reading that was no number: a gap
        "-nan\r\n"
        "0.000000000000000e+00";  // last record without a line end
    DataFile file = parse_data_text(text, "run.dat");
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(file.samples, (std::vector<double>{0.12345, -2.5, 3.0e-100, 0.0, 0.0, 0.0}));
    // A reading of 0 taken as a value becomes the library's zero marker; nan stays a gap.
    file = parse_data_text("1.0\n0.0\nnan\n", "run.dat", ZeroReading::Value);
    EXPECT_EQ(file.samples, (std::vector<double>{1.0, kZeroValue, 0.0}));
}

TEST(AnalyzeDataFile, AnythingElseNamesTheLine) {
    struct Case { std::string text; std::string message; };
    Case cases[] = {
        {"1.0\r\n2.0\r\n\r\n1,5\r\n", ": line 4: not a number"},  // comma decimal
        {"1.0\n2.0 3.0\n", ": line 2: not a number"},             // two values
        {"1.0\n# ok\ninf\n", ": line 3: not a finite number"},
        {"1.0\n\n\n1.0e\n", ": line 4: not a number"},
        {"1e-9\n1e300\n", ": line 2: the value 1e300 is too large: its square overflows"},
        {"1e-9\n-2e154\n", ": line 2: the value -2e154 is too large"},
        {"1e-9\n1e999\n", ": line 2: the value 1e999 is too large"},
    };
    for (const Case &c : cases) {
        DataFile file = parse_data_text(c.text, "run.dat");
        EXPECT_TRUE(file.samples.empty());
        EXPECT_NE(file.error.find("run.dat" + c.message), std::string::npos) << file.error;
    }
    EXPECT_EQ(parse_data_text("1e153\n", "r").error, "");  // its square is still finite
    // A long file is parsed in pieces: the values keep their order, the lines their numbers.
    std::string records;
    for (int k = 1; k <= 150000; ++k) records += std::to_string(k) + ".000000000000000e-09\r\n";
    DataFile file = parse_data_text(records, "long.dat");
    ASSERT_EQ(file.samples.size(), 150000u);
    for (int k = 1; k <= 150000; k += 997) EXPECT_DOUBLE_EQ(file.samples[k - 1], k * 1e-9);
    records.replace(records.find("\n140000.") + 1, 1, "x");
    EXPECT_NE(parse_data_text(records, "long.dat").error.find("long.dat: line 140000: not a number"), std::string::npos);
    EXPECT_EQ(parse_data_text("# only a comment\r\n\r\n", "e.dat").error, "e.dat: no values in the file");
    EXPECT_NE(read_data_file("/nonexistent/run.dat").error.find("cannot open"), std::string::npos);
}

TEST(AnalyzeDataFile, AGrowingFileIsReadInWholeLines) {
    std::string path = testing::TempDir() + "growing.dat";
    std::remove(path.c_str());
    std::ofstream(path) << "";
    GrowingDataFile file(path, ZeroReading::Gap);
    std::vector<double> samples;
    auto append = [&](const char *text) { std::ofstream(path, std::ios::app) << text; };
    append("1.0e-09\r\n2.0e-0");  // the writer is in the middle of a record
    EXPECT_EQ(file.read_more(samples), "");
    EXPECT_EQ(samples, (std::vector<double>{1.0e-9}));
    append("9\r\n3.0e-09\r\n");
    EXPECT_EQ(file.read_more(samples), "");
    EXPECT_EQ(samples, (std::vector<double>{1.0e-9, 2.0e-9, 3.0e-9}));
    EXPECT_EQ(file.read_more(samples), "");  // nothing new
    EXPECT_EQ(samples.size(), 3u);
    std::ofstream(path, std::ios::trunc) << "7.0e-09\r\n";  // a new run overwrote the file
    EXPECT_EQ(file.read_more(samples), "");
    EXPECT_EQ(samples, (std::vector<double>{7.0e-9}));
    append("x\n");
    EXPECT_NE(file.read_more(samples).find(": line 2: not a number"), std::string::npos);
}

TEST(AnalyzeCommandLine, TheCaptureProgramsHandOffAsItStands) {
    ParsedCommandLine parsed =
        parse_command_line({"-t", "1.0", "-p", "C:\\data dir\\run 1.dat", "-o", "auto1", "-o", "skip"});
    ASSERT_EQ(parsed.error, "");
    const Options &o = parsed.options;
    EXPECT_EQ(o.settings.tau0, 1.0);
    EXPECT_EQ(o.data_path, "C:\\data dir\\run 1.dat");
    EXPECT_EQ(o.settings.kind, DataKind::Phase);
    EXPECT_TRUE(o.automatic);
    EXPECT_FALSE(o.wait_at_end);
    EXPECT_EQ(o.settings.confidence_percent, 68);
    EXPECT_EQ(o.settings.drift, DriftModel::Linear);
    EXPECT_EQ(o.settings.taus, TauSpacing::Octave);
    EXPECT_EQ(o.zeros, ZeroReading::Gap);
    // The button gives no output names: report, plot and tables go beside the data file.
    EXPECT_EQ(o.report_path, "C:\\data dir\\run 1.dat.html");
    EXPECT_EQ(o.plot_path, "C:\\data dir\\run 1.dat.svg");
    EXPECT_EQ(o.csv_path, "C:\\data dir\\run 1.dat.csv");
    EXPECT_EQ(o.text_path, "C:\\data dir\\run 1.dat.txt");
    EXPECT_EQ(o.follow_seconds, 0.0);
}

TEST(AnalyzeCommandLine, TheChoices) {
    ParsedCommandLine parsed = parse_command_line(
        {"-t", "0.5", "-f", "y.dat", "--confidence", "95", "--plot", "p.svg", "--csv", "t.csv", "--report", "r.html",
         "--drift", "quadratic", "--taus", "decade", "--zeros", "value", "--follow", "2.5", "--mtotdev-limit", "0"});
    ASSERT_EQ(parsed.error, "");
    const Options &o = parsed.options;
    EXPECT_EQ(o.settings.tau0, 0.5);
    EXPECT_EQ(o.settings.kind, DataKind::Frequency);
    EXPECT_TRUE(o.wait_at_end);
    EXPECT_EQ(o.settings.confidence_percent, 95);
    EXPECT_EQ(o.plot_path, "p.svg");
    EXPECT_EQ(o.csv_path, "t.csv");
    EXPECT_EQ(o.report_path, "r.html");
    EXPECT_EQ(o.text_path, "");
    EXPECT_EQ(o.settings.drift, DriftModel::Quadratic);
    EXPECT_EQ(o.settings.taus, TauSpacing::Decade);
    EXPECT_EQ(o.zeros, ZeroReading::Value);
    EXPECT_EQ(o.follow_seconds, 2.5);
    EXPECT_EQ(o.settings.mtotdev_limit, 0.0);
    for (const std::string &name : drift_model_names())
        EXPECT_EQ(parse_command_line({"-p", "x", "--drift", name}).error, "") << name;
    EXPECT_TRUE(parse_command_line({"--help"}).options.help);
}

TEST(AnalyzeCommandLine, RefusesWhatItCannotUse) {
    std::vector<std::vector<std::string>> bad = {
        {},                                   // no data file
        {"-t", "0", "-p", "x.dat"},           // interval not positive
        {"-t", "1,0", "-p", "x.dat"},         // not a number
        {"-p", "x.dat", "-f", "y.dat"},       // two files
        {"-p", "x.dat", "-o", "auto2"},       // unknown mode
        {"-p", "x.dat", "--confidence", "90"},
        {"-p"},                               // missing value
        {"-p", "x.dat", "--verbose"},
        {"-p", "x.dat", "--drift", "cubic"},
        {"-p", "x.dat", "--taus", "every"},
        {"-p", "x.dat", "--zeros", "none"},
        {"-p", "x.dat", "--follow", "0"},
        {"-p", "x.dat", "--mtotdev-limit", "-1"},
        {"-p", "x.dat", "--theoh-limit", "many"},
        {"--hat", "a.dat", "b.dat"},                             // two files
        {"-p", "x.dat", "--hat", "a.dat", "b.dat", "c.dat"},     // both modes
        {"--hat", "a.dat", "b.dat", "c.dat", "--follow", "1"},
        {"--hat", "a.dat", "b.dat", "c.dat", "-o", "auto1"},
        {"--hat", "a.dat", "b.dat", "c.dat", "--hat-statistic", "theo2"},
        {"--hat", "a.dat", "b.dat", "c.dat", "-t", "1,1"},       // two intervals
        {"-p", "x.dat", "-t", "1,1,1"},                          // three without --hat
        {"-p", "x.dat", "--hat-data", "frequency"},              // hat option without --hat
    };
    for (const auto &arguments : bad) EXPECT_NE(parse_command_line(arguments).error, "") << arguments.size();
}

TEST(AnalyzeFactors, OctavesDecadesOrEveryFactorWhileTheAllanDeviationOrTheoHHasARow) {
    EXPECT_EQ(averaging_factors(longest_factor(20, 1e9), TauSpacing::Octave), (std::vector<int>{1, 2, 4, 8}));
    EXPECT_EQ(averaging_factors(longest_factor(89, 1e9), TauSpacing::Decade), (std::vector<int>{1, 2, 4, 10, 20, 40}));
    EXPECT_EQ(averaging_factors(longest_factor(8, 1e9), TauSpacing::All), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(averaging_factors(longest_factor(2, 1e9), TauSpacing::Octave).empty());
    // From 90 samples TheoH reaches three quarters of the record: its last TheoBR row
    // has the Theo1 factor n - 1 or n - 2 (even), at factor 74 of 100 samples.
    EXPECT_EQ(longest_factor(100, 1e9), 74);
    EXPECT_EQ(theobr_theo1_factor(74), 98);
    EXPECT_GT(theobr_theo1_factor(75), 99);
    // The cost limit keeps the Theo1 factors within limit / n, or all of TheoBR out
    // once its first row (with the bias removal's factors up to 0.13 n) is beyond it.
    EXPECT_EQ(longest_factor(10000, 1e9), 7499);
    EXPECT_EQ(longest_factor(100000, 1e9), 49999);
    EXPECT_EQ(theobr_longest_factor(100000, 4e9), 30000);
    EXPECT_EQ(theobr_longest_factor(100000, 1e9), 0);
    EXPECT_LE(theobr_cost(100000, 30000), 4e9);
    EXPECT_GT(theobr_cost(100000, 30001), 4e9);
}

// The one-pass MTIE gives CalcMTIE's value for every span, gaps and the phase rule
// for 0.0 at the first and last sample included.
TEST(AnalyzeMtie, EverySpanInOnePassEqualsTheLibrarysScan) {
    std::mt19937_64 rng(5);
    std::normal_distribution<double> normal(0.0, 1e-9);
    std::vector<double> x(1000);
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = 1e-3 + 1e-8 * static_cast<double>(k) + normal(rng);
    for (std::size_t k : {0, 10, 11, 12, 500, 999}) x[k] = 0.0;  // 0 at both ends counts as a value
    std::vector<int> spans = {1, 2, 3, 4, 7, 8, 100, 511, 998, 999, 1000, 5000};
    for (double offset : {0.0, 1.0}) {  // the second record has no 0.0 at its ends
        std::vector<double> samples = x;
        if (offset != 0.0) samples.front() = samples.back() = 2e-3;
        std::vector<double> v = data_vector(samples);
        int stop = 0;
        std::vector<double> fast = mtie_for_spans(v, spans, &stop);
        ASSERT_EQ(fast.size(), spans.size());
        auto quiet = [](int, const char *) {};
        for (std::size_t i = 0; i < spans.size(); ++i) {
            double expected = -1.0;
            CalcMTIE(v.data(), &expected, spans[i], &stop, 0, quiet);
            EXPECT_EQ(fast[i], expected) << "span " << spans[i];
        }
    }
    std::vector<double> gaps_only = data_vector({1.0, 0.0, 0.0, 0.0, 2.0});
    int stop = 0;
    EXPECT_EQ(mtie_for_spans(gaps_only, {1, 2}, &stop), (std::vector<double>{0.0, 0.0}));
    stop = 1;
    EXPECT_TRUE(mtie_for_spans(gaps_only, {1, 2}, &stop).empty());
}

namespace {
std::vector<double> noisy_phase(int n, double scale, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, scale);
    std::vector<double> x(n);
    for (int k = 0; k < n; ++k) x[k] = 1e-3 + 2e-9 * k + 3e-14 * k * k + normal(rng);
    return x;
}
}  // namespace

TEST(AnalyzeConditioning, EachDriftModelLeavesTheNoise) {
    std::vector<double> x = noisy_phase(2000, 1e-11, 3);
    int stop = 0;
    for (const std::string &name : drift_model_names()) {
        AnalysisSettings settings;
        ASSERT_TRUE(drift_model_by_name(name, settings.drift));
        Analysis a = run_analysis(x, settings, nullptr, &stop);
        ASSERT_EQ(a.error, "") << name;
        EXPECT_EQ(a.record.drift_removed, name != "none") << name;
        EXPECT_EQ(a.record.recorded_phase, data_vector(x)) << name;
        const Estimate &allan = a.rows[6].estimates[OADEV];  // m = 64
        ASSERT_TRUE(allan.computed);
        // The drift of 6e-14 /s makes the Allan deviation at 64 s about 2.7e-12; the
        // models that remove it leave the white noise's 3.8e-13.
        bool removes_drift = name == "linear" || name == "quadratic";
        if (removes_drift) {
            EXPECT_LT(allan.value, 5e-13) << name;
        } else if (name == "none" || name == "offset") {
            EXPECT_GT(allan.value, 2e-12) << name;
        }
        // MTIE is that of the phase as recorded whatever the model.
        double mtie = 0.0;
        std::vector<double> v = data_vector(x);
        CalcMTIE(v.data(), &mtie, 64, &stop, 0, [](int, const char *) {});
        EXPECT_EQ(a.rows[6].estimates[MTIE].value, mtie) << name;
    }
}

// A gappy record: the degrees of freedom count the samples a value used, and a row of
// one term says it has too few for an interval.
TEST(AnalyzeIntervals, FollowTheSamplesActuallyUsed) {
    std::vector<double> x = noisy_phase(400, 1e-10, 8);
    for (int k = 30; k < 370; ++k) x[k] = 0.0;  // 30 + 30 samples left
    AnalysisSettings settings;
    settings.drift = DriftModel::None;
    int stop = 0;
    Analysis a = run_analysis(x, settings, nullptr, &stop);
    ASSERT_EQ(a.error, "");
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[OADEV];
        if (!e.computed) continue;
        EXPECT_EQ(e.samples_used, e.terms + 2 * row.m);
        if (e.terms < 2) {
            EXPECT_TRUE(e.too_few_terms && !e.has_interval) << row.m;
        } else if (e.has_interval) {
            EXPECT_FLOAT_EQ(e.edf, CalcDegFree(std::clamp(row.noise_alpha, -2, 2), e.terms + 2 * row.m, row.m));
        }
    }
    // At m = 16 only the 2 x (30 - 32 + 1) < 1 terms inside the stretches... none; at
    // m = 8: 2 x (30 - 16) = 28 terms, far fewer than the 384 of the whole record.
    EXPECT_EQ(a.rows[3].estimates[OADEV].terms, 28);
    EXPECT_LT(a.rows[3].estimates[OADEV].edf, 20.0);
}

TEST(AnalyzeRefusals, NoNumberThatIsNotFiniteIsReportedOrLabelled) {
    // Values whose squares are finite but whose variances overflow.
    std::vector<double> x = noisy_phase(200, 1e-3, 2);
    for (double &v : x) v *= 1e156;
    AnalysisSettings settings;
    settings.drift = DriftModel::None;
    int stop = 0;
    Analysis a = run_analysis(x, settings, nullptr, &stop);
    ASSERT_EQ(a.error, "");
    ASSERT_FALSE(a.problems.empty());
    EXPECT_NE(a.problems.front().find(" at m = "), std::string::npos) << a.problems.front();
    for (const Row &row : a.rows)
        for (const Estimate &e : row.estimates)
            if (e.computed) {
                EXPECT_TRUE(std::isfinite(e.value));
                EXPECT_TRUE(!e.has_interval || (std::isfinite(e.lower) && std::isfinite(e.upper)));
            }
    // The frequencies of values near the largest double overflow: nothing is analysed.
    std::vector<double> huge = {1e154, -1e154, 1e154, -1e154};
    settings.tau0 = 1e-10;
    EXPECT_NE(run_analysis(huge, settings, nullptr, &stop).error, "");
}

TEST(AnalyzeSvg, EscapesTextForXml) {
    EXPECT_EQ(xml_escaped("a<b>&\"c'\x01"), "a&lt;b&gt;&amp;&quot;c&apos;");
}
