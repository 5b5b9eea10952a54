// Version texts read from real PE stand-ins, and do_reg writing the history into the real registry.
#include "app/context.hpp"
#include "state/crash_detector.hpp"
#include "state/file_versions.hpp"
#include "wine_test_support.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace om::test {
namespace {

const std::string key = app_key_path;

struct SurveyRig {
    wine::FoundationPlatform foundation;
    platform::Platform services = foundation.services();
    Context context{services};
    wine::ScratchFolder install;

    SurveyRig()
    {
        wine::raw_registry::delete_tree("Software\\Kelvane");
        foundation.fakes.clock.wall = platform::WallTime{2026, 3, 7, 9, 4, 2};
    }
    ~SurveyRig() { wine::raw_registry::delete_tree("Software\\Kelvane"); }

    std::string stored(const std::string& value_name)
    {
        auto value = wine::raw_registry::get(key, value_name);
        if (!value)
            return "<missing>";
        return std::string(value->bytes.begin(), value->bytes.end());
    }
};

TEST(WineVersionSurvey, VersionTextsFromRealProgramFiles)
{
    SurveyRig rig;
    const std::string programs = wine::test_programs_folder();

    EXPECT_EQ(GetFileVersionData(rig.context, programs + "v15_0_0_1.exe"), " 15. 0. 1");
    EXPECT_EQ(GetFileVersionData(rig.context, programs + "v2_1_0_300.exe"), " 2. 1. 300");
    EXPECT_EQ(GetFileVersionData(rig.context, programs + "ombrix32_2.1.5.exe"), " 2. 1. 5");
    EXPECT_EQ(GetFileVersionData(rig.context, programs + "no_version.exe"), "");
    EXPECT_EQ(GetFileVersionData(rig.context, programs + "not_there.exe"), "");

    // The raw block as version.dll gives it: the fixed block's signature at byte 40.
    auto block = rig.foundation.versions.file_version_block(programs + "v2_1_0_300.exe");
    ASSERT_GE(block.size(), 56u);
    EXPECT_EQ(block[40] | block[41] << 8 | block[42] << 16 | static_cast<unsigned>(block[43]) << 24, 0xFEEF04BDu);
    EXPECT_TRUE(rig.foundation.versions.file_version_block(programs + "no_version.exe").empty());
    EXPECT_TRUE(rig.foundation.versions.file_version_block(programs + "not_there.exe").empty());
    // A file that is not a program at all.
    wine::write_file(rig.install.path() + "notes.exe", "not a program");
    EXPECT_EQ(GetFileVersionData(rig.context, rig.install.path() + "notes.exe"), "");
}

TEST(WineVersionSurvey, DoRegRecordsVersionsAndChainsTheHistory)
{
    SurveyRig rig;
    const std::string dir = rig.install.path();
    wine::copy_program("ombrix32_2.1.5.exe", dir + "ombrix32.exe");
    wine::copy_program("v15_0_0_1.exe", dir + "vistrel.exe");
    wine::copy_program("v2_1_0_300.exe", dir + "quorin.exe");
    wine::copy_program("no_version.exe", dir + "om_tarsel.exe");
    // om_updat.exe is missing.
    wine::raw_registry::create_key(key);

    rig.context.session.install_dir = dir;
    do_reg(rig.context);
    EXPECT_EQ(rig.context.session.installed_version, "2.1.5");
    EXPECT_EQ(rig.stored("LastFailureRun"), std::string("[Updating {v.2.1.5<-}]") + '\0');
    EXPECT_EQ(rig.stored("LastSuccessRun"), std::string("[Updated {v.2.1.5: 03-07-2026 09:04:02}]") + '\0');
    EXPECT_EQ(rig.stored("fileversions"),
              std::string("om_tarsel.exe:    quorin.exe: 2.1.300   vistrel.exe: 15.0.1   om_updat.exe: 0.0.0") + '\0');

    // After an installation the main program is newer and the history read back is extended.
    ASSERT_TRUE(DeleteFileA((dir + "ombrix32.exe").c_str()));
    wine::copy_program("ombrix32_2.1.6.exe", dir + "ombrix32.exe");
    wine::copy_program("ombrix32_2.1.5.exe", dir + "om_updat.exe");
    get_reg(rig.context);
    EXPECT_EQ(rig.context.session.last_failure_run, "[Updating {v.2.1.5<-}]");
    rig.context.session.install_dir = dir;
    rig.foundation.fakes.clock.wall = platform::WallTime{2026, 11, 23, 17, 45, 59};
    do_reg(rig.context);
    EXPECT_EQ(rig.stored("LastFailureRun"), std::string("[Updating [Updating {v.2.1.6<-v.2.1.5<-]}]") + '\0');
    EXPECT_EQ(rig.stored("LastSuccessRun"), std::string("[Updated {v.2.1.6: 11-23-2026 17:45:59}]") + '\0');
    EXPECT_EQ(rig.stored("fileversions"),
              std::string("om_tarsel.exe:    quorin.exe: 2.1.300   vistrel.exe: 15.0.1   om_updat.exe: 2.1.5") + '\0');
}

TEST(WineVersionSurvey, StartUpSurveyResolvesAgainstTheCurrentFolder)
{
    SurveyRig rig;
    wine::raw_registry::create_key(key);
    // Started from a folder that holds none of the programs: install_dir is still empty.
    ASSERT_TRUE(rig.foundation.files.set_current_folder(rig.install.path()));
    do_reg(rig.context);
    EXPECT_EQ(rig.context.session.installed_version, "0.0.0");
    EXPECT_EQ(rig.stored("LastFailureRun"), std::string("[Updating {v.0.0.0<-}]") + '\0');
    EXPECT_EQ(rig.stored("fileversions"),
              std::string("om_tarsel.exe: 0.0.0   quorin.exe: 0.0.0   vistrel.exe: 0.0.0   om_updat.exe: 0.0.0") +
                  '\0');

    // The same start with the programs in the current folder; a hidden copy is not listed.
    wine::copy_program("v2_1_0_300.exe", rig.install.path() + "ombrix32.exe");
    wine::copy_program("v15_0_0_1.exe", rig.install.path() + "vistrel.exe");
    wine::add_attributes(rig.install.path() + "vistrel.exe", FILE_ATTRIBUTE_HIDDEN);
    rig.context.session.last_failure_run.clear();
    do_reg(rig.context);
    EXPECT_EQ(rig.context.session.installed_version, "2.1.300");
    EXPECT_EQ(rig.stored("LastFailureRun"), std::string("[Updating {v.2.1.300<-}]") + '\0');
    EXPECT_EQ(rig.stored("fileversions"),
              std::string("om_tarsel.exe: 0.0.0   quorin.exe: 0.0.0   vistrel.exe: 0.0.0   om_updat.exe: 0.0.0") +
                  '\0');
}

TEST(WineVersionSurvey, DoRegWithoutTheKeyWritesNothing)
{
    SurveyRig rig;
    wine::copy_program("ombrix32_2.1.5.exe", rig.install.path() + "ombrix32.exe");
    rig.context.session.install_dir = rig.install.path();
    do_reg(rig.context);
    EXPECT_EQ(rig.context.session.installed_version, "2.1.5");
    EXPECT_FALSE(wine::raw_registry::key_exists(key));
}

} // namespace
} // namespace om::test
