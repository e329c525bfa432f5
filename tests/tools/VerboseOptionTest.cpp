// --verbose: the plug-in's diagnostic log on standard error, and nothing of it
// without the option.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "ToolRun.h"

namespace {

TEST(VerboseOption, PutsThePluginsDiagnosticLogOnStandardError) {
    ::unsetenv("VORANDEL_TURNTABLE_LOG");
    ::unsetenv("VORANDEL_TURNTABLE_LOG_FILE");
    const ToolRun quiet = ToolRun::turntablectl({"rotate", "--counts", "5", "--sim-counts", "240"});
    const ToolRun verbose =
        ToolRun::turntablectl({"rotate", "--counts", "5", "--sim-counts", "240", "--verbose"});
    ASSERT_EQ(quiet.exitCode, 0) << quiet.describe();
    ASSERT_EQ(verbose.exitCode, 0) << verbose.describe();

    EXPECT_EQ(quiet.err.find("vorandel-turntable "), std::string::npos) << quiet.err;
    EXPECT_NE(verbose.err.find(" device debug: device 0 opened\n"), std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find(" move info: move started: 5 counts, "), std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find(" move info: move ended: completed; "), std::string::npos)
        << verbose.err;
    EXPECT_EQ(verbose.board().pulses, quiet.board().pulses);
}

}  // namespace
