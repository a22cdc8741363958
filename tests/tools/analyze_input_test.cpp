// What varnis-analyze accepts: data files and its command line.
#include <gtest/gtest.h>

#include "command_line.h"
#include "data_file.h"
#include "svg_plot.h"

using namespace analyze;

TEST(AnalyzeDataFile, ReadsCaptureRecordsSkippingBlankLinesAndComments) {
    std::string text =
        "# run of 7 December\r\n"
        "1.234500000000000e-01\r\n"
        "\r\n"
        "-2.500000000000000e+00\r\n"
        "   3.0e-100  \r\n"
        "0.000000000000000e+00";  // last record without a line end
    DataFile file = parse_data_text(text, "run.dat");
    ASSERT_EQ(file.error, "");
    ASSERT_EQ(file.samples.size(), 4u);
    EXPECT_EQ(file.samples[0], 0.12345);
    EXPECT_EQ(file.samples[1], -2.5);
    EXPECT_EQ(file.samples[2], 3.0e-100);
    EXPECT_EQ(file.samples[3], 0.0);
}

TEST(AnalyzeDataFile, AnythingElseNamesTheLine) {
    struct Case { std::string text; std::string line; };
    Case cases[] = {
        {"1.0\r\n2.0\r\n\r\n1,5\r\n", ": line 4: "},           // comma decimal
        {"1.0\n2.0 3.0\n", ": line 2: "},                       // two values
        {"nan\n", ": line 1: "},                                // not finite
        {"1.0\n# ok\ninf\n", ": line 3: "},
        {"1.0\n\n\n1.0e\n", ": line 4: "},
    };
    for (const Case &c : cases) {
        DataFile file = parse_data_text(c.text, "run.dat");
        EXPECT_TRUE(file.samples.empty());
        EXPECT_NE(file.error.find("run.dat" + c.line), std::string::npos) << file.error;
    }
    EXPECT_EQ(parse_data_text("# only a comment\r\n\r\n", "e.dat").error, "e.dat: no values in the file");
    EXPECT_NE(read_data_file("/nonexistent/run.dat").error.find("cannot open"), std::string::npos);
}

TEST(AnalyzeCommandLine, TheCaptureProgramsHandOffAsItStands) {
    ParsedCommandLine parsed =
        parse_command_line({"-t", "1.0", "-p", "C:\\data dir\\run 1.dat", "-o", "auto1", "-o", "skip"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.tau0, 1.0);
    EXPECT_EQ(parsed.options.data_path, "C:\\data dir\\run 1.dat");
    EXPECT_EQ(parsed.options.kind, DataKind::Phase);
    EXPECT_TRUE(parsed.options.automatic);
    EXPECT_FALSE(parsed.options.wait_at_end);
    EXPECT_EQ(parsed.options.confidence_percent, 68);
    // The button gives no output names: plot and table go beside the data file.
    EXPECT_EQ(parsed.options.plot_path, "C:\\data dir\\run 1.dat.svg");
    EXPECT_EQ(parsed.options.csv_path, "C:\\data dir\\run 1.dat.csv");
    // Started from the desktop it has no terminal: the printed table goes there too.
    EXPECT_EQ(parsed.options.text_path, "C:\\data dir\\run 1.dat.txt");

    // Without skip the program waits for Enter, as it runs in a window of its own.
    parsed = parse_command_line({"-t", "0.5", "-f", "y.dat", "--confidence", "95", "--plot", "p.svg",
                                 "--csv", "t.csv"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.tau0, 0.5);
    EXPECT_EQ(parsed.options.kind, DataKind::Frequency);
    EXPECT_TRUE(parsed.options.wait_at_end);
    EXPECT_EQ(parsed.options.confidence_percent, 95);
    EXPECT_EQ(parsed.options.plot_path, "p.svg");
    EXPECT_EQ(parsed.options.csv_path, "t.csv");
    EXPECT_EQ(parsed.options.text_path, "");
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
    };
    for (const auto &arguments : bad) EXPECT_NE(parse_command_line(arguments).error, "") << arguments.size();
}

TEST(AnalyzeSvg, EscapesTextForXml) {
    EXPECT_EQ(xml_escaped("a<b>&\"c'\x01"), "a&lt;b&gt;&amp;&quot;c&apos;");
}
